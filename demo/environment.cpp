#include "demo/environment.h"

#include <cstdlib>
#include <filesystem>

namespace demo {

std::string variable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

ScopedVariable::ScopedVariable(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) previous_ = old;
    ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedVariable::~ScopedVariable() {
    if (previous_) {
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

std::string prepareLogFile(const std::string& ownFolder) {
    if (variable("APPDATA").empty()) ::setenv("APPDATA", ownFolder.c_str(), 1);
    const std::string folder = variable("APPDATA") + "/Quorvane/Quorvane Kalvix/EXMI-AddIns";
    std::filesystem::create_directories(folder);
    return folder + "/EXMI.log";
}

bool readServiceAddresses(ServiceAddresses& addresses, std::string& missing) {
    missing.clear();
    auto take = [&missing](const char* name, std::string& target) {
        target = variable(name);
        if (target.empty()) missing += (missing.empty() ? "" : ", ") + std::string(name);
    };
    take("STRATAVOX_ACCOUNT_SERVER", addresses.accountServer);
    take("STRATAVOX_API_BASE", addresses.apiBase);
    take("STRATAVOX_WEB_APP", addresses.webApp);
    take("STRATAVOX_REDIRECT_URI", addresses.redirectUri);
    take("STRATAVOX_CA_BUNDLE", addresses.caBundle);
    while (addresses.accountServer.size() > 1 && addresses.accountServer.back() == '/') {
        addresses.accountServer.pop_back();
    }
    if (!addresses.webApp.empty() && addresses.webApp.back() != '/') addresses.webApp += '/';
    return missing.empty();
}

}  // namespace demo
