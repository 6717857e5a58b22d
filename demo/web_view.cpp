#include "demo/web_view.h"

#include <curl/curl.h>

namespace demo {

namespace {

size_t collect(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// Pages are small; anything larger is not a sign-in page.
constexpr curl_off_t kMaxPageBytes = 4 * 1024 * 1024;

}  // namespace

WebView::WebView(const std::string& caBundle) : curl_(curl_easy_init()), caBundle_(caBundle) {
    CURL* curl = static_cast<CURL*>(curl_);
    if (!curl) return;
    // An empty file name switches the cookie engine on without reading a file.
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https,http");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, kMaxPageBytes);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caBundle_.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, caBundle_.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "StratavoxDemo-WebView/1");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
}

WebView::~WebView() {
    if (curl_) curl_easy_cleanup(static_cast<CURL*>(curl_));
}

WebResponse WebView::get(const std::string& address) { return perform(address, nullptr); }

WebResponse WebView::postForm(const std::string& address, const std::string& body) { return perform(address, &body); }

size_t WebView::cookieCount() {
    if (!curl_) return 0;
    curl_slist* cookies = nullptr;
    if (curl_easy_getinfo(static_cast<CURL*>(curl_), CURLINFO_COOKIELIST, &cookies) != CURLE_OK) return 0;
    size_t count = 0;
    for (curl_slist* item = cookies; item; item = item->next) ++count;
    curl_slist_free_all(cookies);
    return count;
}

WebResponse WebView::perform(const std::string& address, const std::string* formBody) {
    WebResponse response;
    if (!curl_) {
        response.error = "libcurl could not be initialised";
        return response;
    }
    CURL* curl = static_cast<CURL*>(curl_);
    curl_slist* headers = nullptr;
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
    if (formBody) {
        headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(formBody->size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, formBody->c_str());
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);

    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        response.error = curl_easy_strerror(code);
    } else {
        response.transferred = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
        char* text = nullptr;
        if (curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &text) == CURLE_OK && text) response.redirect = text;
        text = nullptr;
        if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &text) == CURLE_OK && text) response.contentType = text;
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
    curl_slist_free_all(headers);
    return response;
}

}  // namespace demo
