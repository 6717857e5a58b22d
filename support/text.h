#pragma once
// Exact conversion between UTF-8 (all text of the add-in) and UTF-16 (the
// form the platform's wide calls take), and the clean-ups text from outside
// needs before it is sent, shown or logged. Stateless; safe on any thread.

#include <cstddef>
#include <string>

namespace support {

// Both fail with std::runtime_error "bad conversion" on malformed input:
// invalid or overlong UTF-8, encoded or lone surrogates, code points past
// U+10FFFF.
std::u16string toUtf16(const std::string& text);
std::string toUtf8(const std::u16string& text);

// The text with every invalid UTF-8 sequence (by the rules above) replaced by
// U+FFFD, one per maximal invalid part; valid text comes back unchanged.
std::string validUtf8(const std::string& text);

// At most `limit` bytes of the text, cut before a UTF-8 sequence that would
// not fit; when anything was cut, "\xE2\x80\xA6" (an ellipsis) follows.
std::string clipText(const std::string& text, std::size_t limit);

// Outside text (a service's answer, a page's message) made safe for one log
// line: backslash, CR, LF and tab become \\, \r, \n and \t, every other
// control character \xHH, so it can never start a line of its own.
std::string escapeForLog(const std::string& text);

}  // namespace support
