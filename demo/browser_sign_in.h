#pragma once
// Signing in on the account server's page the way the palette's web view
// does it for a person: load the page the palette was opened on, follow
// the account server's own redirects (a sign-out before the sign-in, for
// instance), fill in the sign-in form once and submit it, and stop at the
// redirect to the add-in's redirect address without loading it. Every
// address the web view was sent to is kept, in order: those are the
// navigations a web view reports to the palette. Runs on the calling
// thread with the given WebView.

#include <string>
#include <vector>

#include "demo/web_view.h"

namespace demo {

struct SignInOutcome {
    bool ok = false;
    // Addresses the web view went to after the first, in order; when ok the
    // last one is the redirect address with "code" and "state".
    std::vector<std::string> navigations;
    bool formSubmitted = false;
    std::string error;
};

SignInOutcome signInAsBrowser(WebView& view, const std::string& startAddress, const std::string& redirectPrefix,
                              const std::string& user, const std::string& password);

// "https://host:port" of an address, empty when it has none.
std::string originOf(const std::string& address);

}  // namespace demo
