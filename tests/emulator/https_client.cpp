#include "tests/emulator/https_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace emulator_test {

namespace {

struct Upload {
    const std::string* body;
    std::size_t offset = 0;
};

std::size_t onWrite(char* data, std::size_t size, std::size_t count, void* user) {
    static_cast<Reply*>(user)->body.append(data, size * count);
    return size * count;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    std::string line(data, size * count);
    std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' ')) {
            value.pop_back();
        }
        static_cast<Reply*>(user)->headers[name] = value;
    }
    return size * count;
}

std::size_t onRead(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto* upload = static_cast<Upload*>(user);
    std::size_t n = std::min(size * count, upload->body->size() - upload->offset);
    std::memcpy(buffer, upload->body->data() + upload->offset, n);
    upload->offset += n;
    return n;
}

}  // namespace

std::string Reply::header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

Reply request(const std::string& method, const std::string& url, const std::string& body,
              const RequestOptions& options) {
    Reply reply;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) return reply;
    Upload upload{&body, 0};
    curl_slist* headers = nullptr;
    for (const auto& h : options.headers) headers = curl_slist_append(headers, h.c_str());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_SSL_ENABLE_ALPN, 0L);
    if (!options.caBundle.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, options.caBundle.c_str());
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onWrite);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply);
    if (method == "PUT") {
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, onRead);
        curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
        curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(body.size()));
    } else if (method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    } else if (method != "GET") {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return reply;
}

std::string encode(const std::string& text) {
    char* escaped = curl_easy_escape(nullptr, text.c_str(), static_cast<int>(text.size()));
    std::string out(escaped);
    curl_free(escaped);
    return out;
}

std::string queryParam(const std::string& url, const std::string& name) {
    std::size_t q = url.find('?');
    if (q == std::string::npos) return std::string();
    std::string query = url.substr(q + 1);
    std::size_t pos = 0;
    while (pos <= query.size()) {
        std::size_t end = query.find('&', pos);
        if (end == std::string::npos) end = query.size();
        std::string item = query.substr(pos, end - pos);
        if (item.rfind(name + "=", 0) == 0) {
            int length = 0;
            char* decoded = curl_easy_unescape(nullptr, item.c_str() + name.size() + 1,
                                               static_cast<int>(item.size() - name.size() - 1), &length);
            std::string value(decoded, static_cast<std::size_t>(length));
            curl_free(decoded);
            return value;
        }
        pos = end + 1;
    }
    return std::string();
}

}  // namespace emulator_test
