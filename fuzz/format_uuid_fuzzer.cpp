// formatUuid on any text: the hexadecimal digits of the text, lower-cased,
// grouped 8-4-4-4-12 when there are exactly 32 of them; otherwise the error
// "invalid uuid string " followed by those digits. Its own result formats
// to itself.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "fuzz/checks.h"
#include "support/ids.h"

namespace {

std::string hexDigitsOf(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) digits.push_back(c);
    }
    return digits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::bytes(data, size);
    const std::string digits = hexDigitsOf(text);
    std::string formatted;
    try {
        formatted = support::formatUuid(text);
    } catch (const std::runtime_error& error) {
        fuzz::check(digits.size() != 32, "refused a text with exactly 32 hexadecimal digits");
        fuzz::check(error.what() == "invalid uuid string " + digits, std::string("wrong error: ") + error.what());
        return 0;
    }
    fuzz::check(digits.size() == 32, "accepted a text without exactly 32 hexadecimal digits");
    fuzz::check(formatted.size() == 36, "result is not 36 characters");
    const std::string expected = digits.substr(0, 8) + "-" + digits.substr(8, 4) + "-" + digits.substr(12, 4) + "-" +
                                 digits.substr(16, 4) + "-" + digits.substr(20);
    fuzz::check(formatted == expected, "result is not the text's digits grouped 8-4-4-4-12: " + formatted);
    fuzz::check(support::formatUuid(formatted) == formatted, "formatting is not idempotent");
    return 0;
}
