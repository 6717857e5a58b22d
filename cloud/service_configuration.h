#pragma once
// Where the vendor's services are and how transfers to them are made: each
// value has a built-in default and can be overridden by an environment
// variable (for test systems and the local emulator). Read once, on the UI
// thread, by the connector (and by the palette for the redirect address); the
// network layer gets the values, never the variables.
//
//   STRATAVOX_ACCOUNT_SERVER  account server base, no path ("https://host:port")
//   STRATAVOX_API_BASE        cloud API base, path "/plyx/v1"
//   STRATAVOX_WEB_APP         web application, path ending in "/app/library/"
//   STRATAVOX_REDIRECT_URI    OAuth redirect URI, path "/stratavox/"
//   STRATAVOX_CA_BUNDLE       PEM file of CA certificates for peer verification
//                             (empty: libcurl's default trust store)
//   STRATAVOX_STALL_SECONDS   seconds without a byte moving after which a
//                             transfer fails as stalled (default 60)

#include <chrono>
#include <string>

namespace EXMIImpl {

struct ServiceConfiguration {
    std::string accountServerUrl;  // without a trailing "/"
    std::string apiBaseUrl;        // without a trailing "/"
    std::string webAppUrl;         // always ends in "/"
    std::string redirectUri;
    std::string caBundlePath;  // empty when the variable is not set
    std::chrono::seconds stallTime{60};

    // The values as the environment sets them now; a stall time that is not
    // a positive whole number of seconds gives the default.
    static ServiceConfiguration fromEnvironment();
};

}  // namespace EXMIImpl
