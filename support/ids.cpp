#include "support/ids.h"

#include <cstdint>
#include <ctime>
#include <mutex>
#include <random>
#include <stdexcept>
#include <vector>

namespace support {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

std::mt19937& engine() {
    // Seeded once with a full state's worth of words, each mixing the
    // non-deterministic device with the calendar time in case the device
    // is a deterministic fallback.
    static std::mt19937 instance = [] {
        std::random_device device;
        const auto now = static_cast<std::uint32_t>(std::time(nullptr));
        std::vector<std::uint32_t> words(std::mt19937::state_size);
        for (auto& word : words) word = static_cast<std::uint32_t>(device()) ^ now;
        std::seed_seq sequence(words.begin(), words.end());
        return std::mt19937(sequence);
    }();
    return instance;
}

std::mutex& engineMutex() {
    static std::mutex instance;
    return instance;
}

}  // namespace

std::string generateUuid() {
    std::string id(32, '0');
    std::lock_guard<std::mutex> lock(engineMutex());
    std::mt19937& source = engine();
    for (char& digit : id) digit = kHexDigits[source() >> 28];
    id[12] = '4';
    id[16] = "89ab"[source() >> 30];
    return id;
}

std::string formatUuid(const std::string& text) {
    std::string digits;
    digits.reserve(text.size());
    for (char c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) digits.push_back(c);
    }
    if (digits.size() != 32) throw std::runtime_error("invalid uuid string " + digits);
    return digits.substr(0, 8) + "-" + digits.substr(8, 4) + "-" + digits.substr(12, 4) + "-" + digits.substr(16, 4) +
           "-" + digits.substr(20, 12);
}

}  // namespace support
