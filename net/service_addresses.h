#pragma once
// Addresses of the vendor's services and the certificate bundle the HTTP layer
// trusts. Each has a built-in default and can be overridden by an environment
// variable (for test systems and the local emulator). The functions read the
// environment on every call and keep no state, so any thread may call them.
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

// Without a trailing "/".
std::string accountServerUrl();
// Without a trailing "/".
std::string apiBaseUrl();
// Always ends in "/".
std::string webAppUrl();
std::string redirectUri();
// Empty when the variable is not set.
std::string caBundlePath();
// A positive whole number of seconds; anything else gives the default.
std::chrono::seconds stallTime();

}  // namespace EXMIImpl
