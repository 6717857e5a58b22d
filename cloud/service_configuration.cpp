#include "cloud/service_configuration.h"

#include "support/files.h"

namespace EXMIImpl {
namespace {

std::string fromEnvironment(const char* name, const char* fallback) {
    const std::string value = support::getEnvironmentVariable(name);
    return value.empty() ? std::string(fallback) : value;
}

std::string withoutTrailingSlash(std::string url) {
    while (!url.empty() && url.back() == '/') url.pop_back();
    return url;
}

std::chrono::seconds stallTimeFromEnvironment(std::chrono::seconds fallback) {
    const std::string text = support::getEnvironmentVariable("STRATAVOX_STALL_SECONDS");
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return fallback;
    const long seconds = std::stol(text);
    return seconds > 0 ? std::chrono::seconds(seconds) : fallback;
}

}  // namespace

ServiceConfiguration ServiceConfiguration::fromEnvironment() {
    ServiceConfiguration values;
    values.accountServerUrl =
        withoutTrailingSlash(EXMIImpl::fromEnvironment("STRATAVOX_ACCOUNT_SERVER", "https://account.stratavox.com"));
    values.apiBaseUrl =
        withoutTrailingSlash(EXMIImpl::fromEnvironment("STRATAVOX_API_BASE", "https://api.stratavox.com/plyx/v1"));
    values.webAppUrl = EXMIImpl::fromEnvironment("STRATAVOX_WEB_APP", "https://fabriqo.stratavox.com/app/library/");
    if (values.webAppUrl.back() != '/') values.webAppUrl += '/';
    values.redirectUri = EXMIImpl::fromEnvironment("STRATAVOX_REDIRECT_URI", "https://www.stratavox.com/stratavox/");
    values.caBundlePath = support::getEnvironmentVariable("STRATAVOX_CA_BUNDLE");
    values.stallTime = stallTimeFromEnvironment(values.stallTime);
    return values;
}

}  // namespace EXMIImpl
