#include "cloud/pkce.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <stdexcept>

namespace EXMIImpl {
namespace {

std::vector<uint8_t> sha256(const std::string& bytes) {
    std::vector<uint8_t> digest(SHA256_DIGEST_LENGTH);
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1 ||
        size != digest.size())
        throw std::runtime_error("could not compute digest");
    return digest;
}

const int kMaxAttempts = 1024;

}  // namespace

std::string sha256Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : sha256(bytes)) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}

std::string base64Encode(const uint8_t* data, size_t length) {
    if (length == 0) return std::string();
    // EVP_EncodeBlock takes an int count; encode in chunks that are a
    // multiple of 3 so the output concatenates without inner padding.
    const size_t chunk = 3u * 1024u * 1024u;
    std::string text;
    text.reserve((length + 2) / 3 * 4);
    std::vector<unsigned char> out(chunk / 3 * 4 + 1);
    for (size_t offset = 0; offset < length; offset += chunk) {
        const size_t n = std::min(chunk, length - offset);
        const int written = EVP_EncodeBlock(out.data(), data + offset, static_cast<int>(n));
        text.append(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(written));
    }
    return text;
}

std::string base64Encode(const std::vector<uint8_t>& bytes) { return base64Encode(bytes.data(), bytes.size()); }

std::string base64UrlEncode(const uint8_t* data, size_t length) {
    std::string text = base64Encode(data, length);
    for (char& c : text) {
        if (c == '+') c = '-';
        else if (c == '/') c = '_';
    }
    return text;
}

std::string codeChallengeFor(const std::string& verifier) {
    const std::vector<uint8_t> digest = sha256(verifier);
    return base64UrlEncode(digest.data(), digest.size());
}

namespace {
std::atomic<RandomSource> randomSource{nullptr};

bool systemRandom(uint8_t* data, size_t length) {
    return length <= static_cast<size_t>(std::numeric_limits<int>::max()) &&
           RAND_bytes(data, static_cast<int>(length)) == 1;
}
}  // namespace

void secureRandomBytes(uint8_t* data, size_t length) {
    const RandomSource source = randomSource.load();
    if (!(source ? source : &systemRandom)(data, length)) throw std::runtime_error("could not draw random bytes");
}

RandomSource replaceRandomSource(RandomSource source) { return randomSource.exchange(source); }

PkcePair makePkcePair() {
    static const char digits[] = "0123456789abcdef";
    PkcePair pair;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        uint8_t entropy[32];
        secureRandomBytes(entropy, sizeof entropy);
        pair.verifier.clear();
        for (uint8_t byte : entropy) {
            pair.verifier += digits[byte >> 4];
            pair.verifier += digits[byte & 0x0f];
        }
        pair.challenge = codeChallengeFor(pair.verifier);
        if (pair.challenge.find_first_of("-_") == std::string::npos) break;
    }
    return pair;
}

std::string makeSignInState() {
    uint8_t entropy[24];
    secureRandomBytes(entropy, sizeof entropy);
    return base64UrlEncode(entropy, sizeof entropy);
}

}  // namespace EXMIImpl
