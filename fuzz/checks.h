#pragma once
// Invariant checks shared by the fuzz targets. A broken invariant prints
// what was expected and aborts, so libFuzzer records the input as a crash
// like any sanitizer report. Also helpers that state what a correct answer
// looks like independently of the code under test: a percent decoder
// (libcurl's), the two encoded forms, white-space trimming and JSON access.
// Stateless; the targets run single-threaded.

#include <rapidjson/document.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace fuzz {

// Prints "invariant broken: " + what and aborts.
[[noreturn]] void fail(const std::string& what);

inline void check(bool condition, const std::string& what) {
    if (!condition) fail(what);
}

// The error text must be one of the texts the code is documented to raise.
void checkKnownError(const std::string& text, std::initializer_list<const char*> known);

// Decodes every "%XX" (either letter case) and keeps other bytes; embedded
// NUL bytes survive. Decoding is libcurl's.
std::string percentDecode(const std::string& text);

// Strict form: only A-Z a-z 0-9 - . _ ~ and "%" with two upper-case hex
// digits, and no "%XX" that stands for a byte the form keeps as it is.
bool isStrictlyEncoded(const std::string& text);
// The same with ! # $ & ' ( ) * + , / : ; = ? @ kept as well.
bool isUriEncoded(const std::string& text);

// Removes white space (as isspace classifies it) from both ends.
std::string trimmed(const std::string& text);

std::string bytes(const uint8_t* data, size_t size);

// Parses a text as JSON as the readers do (RapidJSON, iteratively, bounded
// by the text's length; a NUL byte counts as the end); false on a syntax
// error. Short texts are parsed recursively as well, and a disagreement
// between the two parsers fails.
bool parseJson(rapidjson::Document& document, const std::string& text);
// The member `name` of a JSON object; fails when there is none.
const rapidjson::Value& member(const rapidjson::Value& object, const char* name);
// The string member `name`, byte for byte; fails when absent or no string.
std::string stringMember(const rapidjson::Value& object, const char* name);
// The string member `name`, or `fallback` when absent; fails when present
// but no string.
std::string optionalStringMember(const rapidjson::Value& object, const char* name, const std::string& fallback);

}  // namespace fuzz
