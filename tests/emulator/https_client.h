#pragma once
// A minimal libcurl client for driving the emulator over real HTTPS with
// peer verification on. Each call is one blocking transfer on the calling
// thread with its own easy handle; nothing is shared between calls.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace emulator_test {

struct Reply {
    long status = 0;
    std::string body;
    std::map<std::string, std::string> headers;  // lower-case names, last value wins
    std::string header(const std::string& lowerName) const;
};

struct RequestOptions {
    std::string caBundle;              // empty: libcurl's default trust store
    std::vector<std::string> headers;  // "Name: value"
};

Reply request(const std::string& method, const std::string& url, const std::string& body,
              const RequestOptions& options);
inline Reply get(const std::string& url, const RequestOptions& options) {
    return request("GET", url, std::string(), options);
}

// Percent-encoding as the add-in's client does it: everything but
// A-Z a-z 0-9 - . _ ~ becomes %XX with upper-case hex.
std::string encode(const std::string& text);
// Value of one query parameter of an address (decoded), empty when absent.
std::string queryParam(const std::string& url, const std::string& name);

}  // namespace emulator_test
