// Both percent-encoders on any byte string: the strict form consists of
// unreserved characters and upper-case %XX only, the lenient form also
// keeps the URI delimiters, neither encodes a byte it keeps, and libcurl's
// decoder gives back the original bytes (NULs and bytes >= 128 included).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/checks.h"
#include "support/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::bytes(data, size);

    const std::string strict = support::percentEncode(text);
    fuzz::check(fuzz::isStrictlyEncoded(strict), "percentEncode left a reserved byte or a malformed escape: " + strict);
    fuzz::check(fuzz::percentDecode(strict) == text, "percentEncode does not decode to its input");

    const std::string lenient = support::percentEncodeUri(text);
    fuzz::check(fuzz::isUriEncoded(lenient), "percentEncodeUri left a byte it must encode: " + lenient);
    fuzz::check(fuzz::percentDecode(lenient) == text, "percentEncodeUri does not decode to its input");

    // The lenient form never encodes more than the strict one.
    fuzz::check(lenient.size() <= strict.size(), "percentEncodeUri is longer than percentEncode");
    return 0;
}
