#pragma once
// Proof Key for Code Exchange (S256) and the digest and base64 helpers it and
// the thumbnail upload need, all over OpenSSL. Stateless apart from the
// random identifiers drawn from support; safe on any thread.

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

// A fresh verifier of `length` (1..1024, others taken as 1024) fed from
// random identifiers, and its challenge. Up to 1024 pairs are drawn until the
// challenge holds neither '-' nor '_'; the last one stays otherwise.
PkcePair makePkcePair(int length = 64);

}  // namespace EXMIImpl
