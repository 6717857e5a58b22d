#pragma once
// Exact conversion between UTF-8 (all text of the add-in) and UTF-16 (the
// form the platform's wide calls take). Stateless; safe on any thread.

#include <string>

namespace support {

// Both fail with std::runtime_error "bad conversion" on malformed input:
// invalid or overlong UTF-8, encoded or lone surrogates, code points past
// U+10FFFF.
std::u16string toUtf16(const std::string& text);
std::string toUtf8(const std::u16string& text);

}  // namespace support
