#pragma once
// Percent-encoding and decoding of byte strings for URLs and form bodies. Every byte
// outside the form's unreserved set becomes "%" and two upper-case
// hexadecimal digits; bytes of 128 and above are always encoded.
// Stateless; safe on any thread.

#include <string>

namespace support {

// Strict form for query and form values: keeps only A-Z a-z 0-9 - . _ ~
std::string percentEncode(const std::string& text);

// A query or form value decoded: "%" and two hexadecimal digits become that
// byte, "+" a space; a "%" not followed by two digits stays as it is.
std::string formDecode(const std::string& text);

// Lenient form for whole addresses: also keeps ! # $ & ' ( ) * + , / : ; = ? @
std::string percentEncodeUri(const std::string& text);

}  // namespace support
