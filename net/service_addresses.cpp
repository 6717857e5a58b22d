#include "net/service_addresses.h"

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

}  // namespace

std::string accountServerUrl() {
    return withoutTrailingSlash(fromEnvironment("STRATAVOX_ACCOUNT_SERVER", "https://account.stratavox.com"));
}

std::string apiBaseUrl() {
    return withoutTrailingSlash(fromEnvironment("STRATAVOX_API_BASE", "https://api.stratavox.com/plyx/v1"));
}

std::string webAppUrl() {
    std::string url = fromEnvironment("STRATAVOX_WEB_APP", "https://fabriqo.stratavox.com/app/library/");
    if (url.back() != '/') url += '/';
    return url;
}

std::string redirectUri() { return fromEnvironment("STRATAVOX_REDIRECT_URI", "https://www.stratavox.com/stratavox/"); }

std::string caBundlePath() { return support::getEnvironmentVariable("STRATAVOX_CA_BUNDLE"); }

std::chrono::seconds stallTime() {
    const std::chrono::seconds fallback(60);
    const std::string text = support::getEnvironmentVariable("STRATAVOX_STALL_SECONDS");
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return fallback;
    const long seconds = std::stol(text);
    return seconds > 0 ? std::chrono::seconds(seconds) : fallback;
}

}  // namespace EXMIImpl
