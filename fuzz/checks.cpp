#include "fuzz/checks.h"

#include <curl/curl.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

namespace {

// Deep enough for every shape the readers expect, shallow enough for the
// recursive parser and writer on any stack.
const size_t kRecursiveParseLimit = 2048;

std::string serialized(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

bool isUriDelimiter(unsigned char c) { return c != 0 && std::strchr("!#$&'()*+,/:;=?@", c) != nullptr; }

int upperHexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

template <typename Kept>
bool isEncoded(const std::string& text, Kept kept) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c != '%') {
            if (!kept(c)) return false;
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int high = upperHexValue(text[i + 1]);
        const int low = upperHexValue(text[i + 2]);
        if (high < 0 || low < 0) return false;
        // A kept byte written as %XX is not wrong for a decoder, but it is
        // not the form the encoder promises.
        if (kept(static_cast<unsigned char>(high * 16 + low))) return false;
        i += 2;
    }
    return true;
}

}  // namespace

void fail(const std::string& what) {
    std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void checkKnownError(const std::string& text, std::initializer_list<const char*> known) {
    for (const char* expected : known) {
        if (text == expected) return;
    }
    fail("unexpected error text \"" + text + "\"");
}

std::string percentDecode(const std::string& text) {
    int length = 0;
    char* decoded = curl_easy_unescape(nullptr, text.data(), static_cast<int>(text.size()), &length);
    if (decoded == nullptr) fail("curl_easy_unescape failed");
    std::string result(decoded, static_cast<size_t>(length));
    curl_free(decoded);
    return result;
}

bool isStrictlyEncoded(const std::string& text) { return isEncoded(text, isUnreserved); }

bool isUriEncoded(const std::string& text) {
    return isEncoded(text, [](unsigned char c) { return isUnreserved(c) || isUriDelimiter(c); });
}

std::string trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])) != 0) --end;
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])) != 0) ++begin;
    return text.substr(begin, end - begin);
}

std::string bytes(const uint8_t* data, size_t size) {
    return size == 0 ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
}

bool parseJson(rapidjson::Document& document, const std::string& text) {
    document.Parse<rapidjson::kParseIterativeFlag>(text.data(), text.size());
    // The readers parse iteratively so that nesting cannot exhaust the
    // stack. Where the recursive parser is safe (short texts), both must
    // agree on every text: same verdict, same values.
    if (text.size() <= kRecursiveParseLimit) {
        rapidjson::Document recursive;
        recursive.Parse(text.data(), text.size());
        if (recursive.HasParseError() != document.HasParseError())
            fail("iterative and recursive parsing disagree on whether the text is JSON");
        if (!document.HasParseError() && serialized(recursive) != serialized(document))
            fail("iterative and recursive parsing give different values");
    }
    return !document.HasParseError();
}

const rapidjson::Value& member(const rapidjson::Value& object, const char* name) {
    if (!object.IsObject()) fail(std::string("looked for \"") + name + "\" in a value that is no object");
    const auto found = object.FindMember(name);
    if (found == object.MemberEnd()) fail(std::string("no member \"") + name + "\"");
    return found->value;
}

std::string stringMember(const rapidjson::Value& object, const char* name) {
    const rapidjson::Value& value = member(object, name);
    if (!value.IsString()) fail(std::string("member \"") + name + "\" is no string");
    return std::string(value.GetString(), value.GetStringLength());
}

std::string optionalStringMember(const rapidjson::Value& object, const char* name, const std::string& fallback) {
    if (object.IsObject() && !object.HasMember(name)) return fallback;
    return stringMember(object, name);
}

}  // namespace fuzz
