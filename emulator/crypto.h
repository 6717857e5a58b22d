#pragma once
// Hashing, base64 and random tokens for the emulator, all on OpenSSL.
// Free functions and one small incremental hasher; no shared state, so
// everything here may be used from any thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace emulator {

// Incremental SHA-256 for bodies that arrive in pieces.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void update(const void* data, std::size_t size);
    std::vector<std::uint8_t> digest();  // finishes the hash
    std::string hexDigest();             // lower-case hex; finishes the hash

private:
    struct State;
    std::unique_ptr<State> state_;
};

std::vector<std::uint8_t> sha256(const std::string& bytes);
std::string sha256Hex(const void* data, std::size_t size);
std::string toHex(const std::vector<std::uint8_t>& bytes);

// Standard base64 with '=' padding, no line breaks.
std::string base64Encode(const void* data, std::size_t size);
// Strict decoding: standard alphabet, padded to a multiple of four, no white
// space. False for anything else.
bool base64Decode(const std::string& text, std::vector<std::uint8_t>& bytes);
// base64url ('-' and '_'), with or without the '=' padding.
std::string base64UrlEncode(const std::vector<std::uint8_t>& bytes, bool padded);

// `byteCount` random bytes from OpenSSL's generator as lower-case hex; URL
// and form safe without encoding.
std::string randomToken(std::size_t byteCount);

}  // namespace emulator
