#pragma once
// Proof Key for Code Exchange (S256), the sign-in state, and the digest and
// base64 helpers they and the thumbnail upload need, all over OpenSSL. The
// only state is the random source, the operating system's secure generator
// (through OpenSSL's RAND_bytes) unless a test swapped it; safe on any
// thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace EXMIImpl {

struct PkcePair {
    std::string verifier;   // 64 lower-case hexadecimal digits
    std::string challenge;  // base64url of SHA-256(verifier), 43 characters + "="
};

// Lower-case hexadecimal SHA-256 of the bytes.
std::string sha256Hex(const std::string& bytes);
// Standard base64 (RFC 4648 section 4) with padding and no line breaks.
std::string base64Encode(const uint8_t* data, size_t length);
std::string base64Encode(const std::vector<uint8_t>& bytes);
// URL-safe alphabet ('-' and '_'), '=' padding kept.
std::string base64UrlEncode(const uint8_t* data, size_t length);

// base64url(SHA-256(verifier)), padded.
std::string codeChallengeFor(const std::string& verifier);

// Fills `data` with `length` bytes of the random source. Throws
// "could not draw random bytes" when the source fails.
void secureRandomBytes(uint8_t* data, size_t length);
// The random source: a function that fills the bytes and returns false when
// it cannot. Returns the source it replaces; a null source means the secure
// generator again. For tests, which swap it to see what it is asked for.
using RandomSource = bool (*)(uint8_t* data, size_t length);
RandomSource replaceRandomSource(RandomSource source);

// A fresh verifier (32 random bytes in lower-case hexadecimal) and its
// challenge. Up to 1024 pairs are drawn until the challenge holds neither
// '-' nor '_' (the form the service expects); the last one stays otherwise.
PkcePair makePkcePair();

// A fresh OAuth state: 192 random bits in base64url (32 characters, no
// padding).
std::string makeSignInState();

}  // namespace EXMIImpl
