#include "emulator/crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <stdexcept>

namespace emulator {

struct Sha256::State {
    EVP_MD_CTX* ctx = nullptr;
    bool finished = false;
};

Sha256::Sha256() : state_(new State) {
    state_->ctx = EVP_MD_CTX_new();
    if (state_->ctx == nullptr || EVP_DigestInit_ex(state_->ctx, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(state_->ctx);
        throw std::runtime_error("SHA-256 unavailable");
    }
}

Sha256::~Sha256() { EVP_MD_CTX_free(state_->ctx); }

void Sha256::update(const void* data, std::size_t size) {
    if (state_->finished) throw std::logic_error("SHA-256 already finished");
    if (size > 0) EVP_DigestUpdate(state_->ctx, data, size);
}

std::vector<std::uint8_t> Sha256::digest() {
    if (state_->finished) throw std::logic_error("SHA-256 already finished");
    std::vector<std::uint8_t> out(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    EVP_DigestFinal_ex(state_->ctx, out.data(), &length);
    out.resize(length);
    state_->finished = true;
    return out;
}

std::string Sha256::hexDigest() { return toHex(digest()); }

std::vector<std::uint8_t> sha256(const std::string& bytes) {
    Sha256 hash;
    hash.update(bytes.data(), bytes.size());
    return hash.digest();
}

std::string sha256Hex(const void* data, std::size_t size) {
    Sha256 hash;
    hash.update(data, size);
    return hash.hexDigest();
}

std::string toHex(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0f]);
    }
    return out;
}

std::string base64Encode(const void* data, std::size_t size) {
    if (size == 0) return std::string();
    std::string out(4 * ((size + 2) / 3) + 1, '\0');
    // EVP_EncodeBlock takes an int length; feed it in slices that keep the
    // 3-byte grouping so the pieces concatenate into one valid text.
    const std::size_t slice = 3u * 1024u * 1024u;
    const auto* in = static_cast<const unsigned char*>(data);
    std::size_t written = 0;
    for (std::size_t offset = 0; offset < size; offset += slice) {
        std::size_t n = std::min(slice, size - offset);
        written += static_cast<std::size_t>(
            EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[written]), in + offset, static_cast<int>(n)));
    }
    out.resize(written);
    return out;
}

bool base64Decode(const std::string& text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0) return false;
    if (text.empty()) return true;
    std::size_t padding = 0;
    if (text[text.size() - 1] == '=') ++padding;
    if (text[text.size() - 2] == '=') ++padding;
    // '=' may only stand at the end; EVP_DecodeBlock would also skip blanks,
    // which a strict reader refuses.
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        char c = text[i];
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
        if (!ok) return false;
    }
    const std::size_t slice = 4u * 1024u * 1024u;
    bytes.resize(text.size() / 4 * 3);
    std::size_t written = 0;
    for (std::size_t offset = 0; offset < text.size(); offset += slice) {
        std::size_t n = std::min(slice, text.size() - offset);
        int got = EVP_DecodeBlock(bytes.data() + written, reinterpret_cast<const unsigned char*>(text.data() + offset),
                                  static_cast<int>(n));
        if (got < 0) {
            bytes.clear();
            return false;
        }
        written += static_cast<std::size_t>(got);
    }
    // EVP_DecodeBlock counts the padding as zero bytes.
    bytes.resize(written - padding);
    return true;
}

std::string base64UrlEncode(const std::vector<std::uint8_t>& bytes, bool padded) {
    std::string text = base64Encode(bytes.data(), bytes.size());
    for (char& c : text) {
        if (c == '+') c = '-';
        else if (c == '/') c = '_';
    }
    if (!padded) {
        while (!text.empty() && text.back() == '=') text.pop_back();
    }
    return text;
}

std::string randomToken(std::size_t byteCount) {
    std::vector<std::uint8_t> bytes(byteCount);
    if (byteCount > 0 && RAND_bytes(bytes.data(), static_cast<int>(byteCount)) != 1) {
        throw std::runtime_error("random generator failed");
    }
    return toHex(bytes);
}

}  // namespace emulator
