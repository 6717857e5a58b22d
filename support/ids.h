#pragma once
// Random identifiers and their hyphenated text form.
//
// One process-wide Mersenne Twister engine, seeded on first use, serves
// every caller; a mutex guards seeding and drawing, so generateUuid may be
// called from any thread. The identifiers are unique labels (document
// identity, request and event ids, temporary names), not secrets.

#include <string>

namespace support {

// 32 lower-case hexadecimal digits; index 12 is "4" and index 16 is one of
// "8", "9", "a", "b".
std::string generateUuid();

// Lower-cases the text, drops everything but 0-9 and a-f, and returns the
// remaining 32 digits grouped 8-4-4-4-12 with "-". Fails with
// std::runtime_error "invalid uuid string " + the cleaned text otherwise.
std::string formatUuid(const std::string& text);

}  // namespace support
