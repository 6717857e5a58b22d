#include "support/text.h"

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

}  // namespace support
