#include "support/text.h"

#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "platform/utf.h"

namespace support {

std::u16string toUtf16(const std::string& text) {
    std::u16string out;
    if (!platform::utf8ToUtf16(text, out)) throw std::runtime_error("bad conversion");
    return out;
}

std::string toUtf8(const std::u16string& text) {
    std::string out;
    if (!platform::utf16ToUtf8(text, out)) throw std::runtime_error("bad conversion");
    return out;
}

namespace {

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence at `at`, or 0 when there is none; then
// `skip` is the length of the maximal invalid part to replace.
std::size_t validSequence(const std::string& text, std::size_t at, std::size_t& skip) {
    const unsigned char b0 = static_cast<unsigned char>(text[at]);
    skip = 1;
    if (b0 < 0x80) return 1;
    std::size_t length;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (at + k >= text.size()) return 0;
        const unsigned char b = static_cast<unsigned char>(text[at + k]);
        if (k == 1 ? (b < lo || b > hi) : !isContinuation(b)) return 0;
        skip = k + 1;
    }
    return length;
}

}  // namespace

std::string validUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t skip = 0;
        const std::size_t length = validSequence(text, at, skip);
        if (length > 0) {
            out.append(text, at, length);
            at += length;
        } else {
            out += "\xEF\xBF\xBD";
            at += skip;
        }
    }
    return out;
}

std::string clipText(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    // Back to the start of the sequence the limit falls into.
    while (end > 0 && isContinuation(static_cast<unsigned char>(text[end]))) --end;
    return text.substr(0, end) + "\xE2\x80\xA6";
}

std::string escapeForLog(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (b < 0x20 || b == 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", b);
                out += hex;
            } else {
                out += c;
            }
        }
    }
    return out;
}

}  // namespace support
