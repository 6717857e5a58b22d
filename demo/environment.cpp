#include "demo/environment.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace demo {

namespace {

#ifdef _WIN32
// _putenv_s changes the C runtime's copy and the process's block, which the
// add-in reads; an empty value removes the variable.
void setVariable(const std::string& name, const std::string& value) { ::_putenv_s(name.c_str(), value.c_str()); }
void unsetVariable(const std::string& name) { ::_putenv_s(name.c_str(), ""); }
#else
void setVariable(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }
void unsetVariable(const std::string& name) { ::unsetenv(name.c_str()); }
#endif

}  // namespace

#ifdef _WIN32
const char* const kTempFolderVariable = "TMP";
#else
const char* const kTempFolderVariable = "TMPDIR";
#endif

std::string makePrivateFolder(const std::string& prefix) {
    std::error_code error;
    const std::filesystem::path parent = std::filesystem::temp_directory_path(error);
    if (error) return std::string();
#ifdef _WIN32
    // A new folder under the user's own temporary folder inherits its
    // owner-only access.
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = parent / (prefix + std::to_string(random() % 1000000000000ULL));
        if (std::filesystem::create_directory(candidate, error)) return candidate.u8string();
    }
    return std::string();
#else
    std::string pattern = (parent / (prefix + "XXXXXX")).string();
    return ::mkdtemp(pattern.data()) == nullptr ? std::string() : pattern;
#endif
}

std::string programFolder() {
#ifdef _WIN32
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::string();
        if (length < buffer.size()) return std::filesystem::path(buffer.data()).parent_path().u8string();
        buffer.resize(buffer.size() * 2);
    }
#else
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
#endif
}

std::string variable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

ScopedVariable::ScopedVariable(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) previous_ = old;
    setVariable(name_, value);
}

ScopedVariable::~ScopedVariable() {
    if (previous_) {
        setVariable(name_, *previous_);
    } else {
        unsetVariable(name_);
    }
}

std::string prepareLogFile(const std::string& ownFolder) {
    if (variable("APPDATA").empty()) setVariable("APPDATA", ownFolder);
    const std::string folder = variable("APPDATA") + "/Quorvane/Quorvane Kalvix/EXMI-AddIns";
    std::filesystem::create_directories(std::filesystem::u8path(folder));
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
