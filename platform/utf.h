#pragma once
// Strict conversion between UTF-8 and UTF-16.
//
// The platform's wide calls take UTF-16 while POSIX calls and the rest of
// the add-in use UTF-8, so both directions live here, below every other
// layer. Stateless; safe on any thread. Malformed input (invalid bytes,
// overlong forms, encoded surrogates, code points above U+10FFFF, lone
// surrogates in UTF-16) is rejected rather than repaired, so a path or
// name is never silently changed into a different one.

#include <string>

namespace platform {

// Returns false on malformed input; `out` holds no meaningful value then.
bool utf8ToUtf16(const std::string& in, std::u16string& out);
bool utf16ToUtf8(const std::u16string& in, std::string& out);

}  // namespace platform
