#include "demo/browser_sign_in.h"

#include <curl/curl.h>

#include "demo/sign_in_form.h"

namespace demo {

namespace {

// More hops than any sign-in needs; a loop ends here.
constexpr int kMaxHops = 10;

std::string describe(const WebResponse& response) {
    if (!response.transferred) return "no answer (" + response.error + ")";
    std::string text = "HTTP " + std::to_string(response.status);
    const std::string said = pageMessage(response.body);
    if (!said.empty()) text += ": " + said;
    return text;
}

}  // namespace

std::string originOf(const std::string& address) {
    CURLU* url = curl_url();
    if (!url) return std::string();
    std::string origin;
    char* scheme = nullptr;
    char* host = nullptr;
    char* port = nullptr;
    if (curl_url_set(url, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
        origin = std::string(scheme) + "://" + host + ":" + port;
    }
    curl_free(scheme);
    curl_free(host);
    curl_free(port);
    curl_url_cleanup(url);
    return origin;
}

SignInOutcome signInAsBrowser(WebView& view, const std::string& startAddress, const std::string& redirectPrefix,
                              const std::string& user, const std::string& password) {
    SignInOutcome outcome;
    // The web view stays with the account server; only the final redirect
    // leaves it, and that one is handed to the palette instead of loaded.
    const std::string accountOrigin = originOf(startAddress);
    if (accountOrigin.empty()) {
        outcome.error = "the palette's address is not a web address: " + startAddress;
        return outcome;
    }
    WebResponse response = view.get(startAddress);
    std::string current = startAddress;
    for (int hop = 0; hop < kMaxHops; ++hop) {
        if (!response.transferred) {
            outcome.error = "loading " + current + " failed: " + response.error;
            return outcome;
        }
        if (!response.redirect.empty()) {
            current = response.redirect;
            outcome.navigations.push_back(current);
            if (current.compare(0, redirectPrefix.size(), redirectPrefix) == 0) {
                outcome.ok = true;
                return outcome;
            }
            if (originOf(current) != accountOrigin) {
                outcome.error = "redirected away from the account server to " + current;
                return outcome;
            }
            response = view.get(current);
            continue;
        }
        SignInForm form;
        if (response.status != 200 || outcome.formSubmitted || !readSignInForm(response.body, current, form)) {
            outcome.error =
                (outcome.formSubmitted ? "the sign-in was not accepted: " : "no sign-in form at " + current + ": ") +
                describe(response);
            return outcome;
        }
        if (originOf(form.action) != accountOrigin) {
            outcome.error = "the sign-in form posts to another server: " + form.action;
            return outcome;
        }
        const std::string fields = encodeFormFields(filledIn(form, user, password));
        outcome.formSubmitted = true;
        current = form.action;
        response = form.method == "post"
                       ? view.postForm(form.action, fields)
                       : view.get(form.action + (form.action.find('?') == std::string::npos ? "?" : "&") + fields);
    }
    outcome.error = "too many redirects";
    return outcome;
}

}  // namespace demo
