#include "support/encoding.h"

#include <cstring>

namespace support {

namespace {

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

bool isUriDelimiter(unsigned char c) {
    // memchr would also match the terminating NUL, so test it separately.
    static const char kKept[] = "!#$&'()*+,/:;=?@";
    return c != 0 && std::memchr(kKept, c, sizeof kKept - 1) != nullptr;
}

template <typename Keep>
std::string encode(const std::string& text, Keep keep) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (keep(c)) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

}  // namespace

std::string percentEncode(const std::string& text) {
    return encode(text, [](unsigned char c) { return isUnreserved(c); });
}

std::string percentEncodeUri(const std::string& text) {
    return encode(text, [](unsigned char c) { return isUnreserved(c) || isUriDelimiter(c); });
}

std::string formDecode(const std::string& text) {
    auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out.push_back(' ');
        } else if (text[i] == '%' && i + 2 < text.size() && digit(text[i + 1]) >= 0 && digit(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(digit(text[i + 1]) * 16 + digit(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace support
