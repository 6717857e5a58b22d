#pragma once
// WebView: one browsing session over HTTPS, the part of a palette's web view
// that the demo needs. Owns a libcurl easy handle with its cookie store, so
// a session cookie set by one page is sent with the next request, exactly
// as a browser keeps it. Trusts only the CA bundle it is given (peer
// verification stays on) and never follows redirects by itself: the caller
// sees each one and decides, as a web view reports each navigation.
// Used on one thread at a time (the demo's main thread).

#include <string>

namespace demo {

struct WebResponse {
    bool transferred = false;  // false: no HTTP answer at all (see error)
    std::string error;         // libcurl's text when not transferred
    long status = 0;
    std::string redirect;  // absolute target of a 3xx answer, else empty
    std::string contentType;
    std::string body;
};

class WebView {
public:
    // `caBundle`: PEM file of the CAs to trust; empty means the system store.
    explicit WebView(const std::string& caBundle);
    ~WebView();
    WebView(const WebView&) = delete;
    WebView& operator=(const WebView&) = delete;

    WebResponse get(const std::string& address);
    // A form submission: body already application/x-www-form-urlencoded.
    WebResponse postForm(const std::string& address, const std::string& body);
    // Number of cookies the session holds.
    size_t cookieCount();

private:
    WebResponse perform(const std::string& address, const std::string* formBody);

    void* curl_;
    std::string caBundle_;
};

}  // namespace demo
