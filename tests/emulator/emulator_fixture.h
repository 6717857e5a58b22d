#pragma once
// Test fixture shared by the emulator's and the cloud client's tests: one
// emulator per test, started on an ephemeral loopback port in SetUp and
// stopped in TearDown, plus helpers that speak to it the way the add-in's cloud client does (same
// parameters, same order, same encodings). Runs on the test thread; the
// emulator serves on its own threads.

#include "emulator/emulator.h"
#include "tests/emulator/https_client.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace emulator_test {

extern const char kClientId[];
extern const char kScopes[];  // the client's five scopes, space separated

struct Pkce {
    std::string verifier;   // 64 lower-case hex digits
    std::string challenge;  // base64url of SHA-256(verifier), '=' padded
};
Pkce makePkce();

// A decodable JPEG of the given size, encoded with libjpeg.
std::string makeJpeg(int width, int height);
// Reproducible arbitrary bytes.
std::string randomBytes(std::size_t count, unsigned seed);
std::string base64(const std::string& bytes);

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    RequestOptions options(std::vector<std::string> headers = {}) const;
    RequestOptions bearer(const std::string& token, std::vector<std::string> headers = {}) const;

    std::string authorizeUrl(const Pkce& pkce) const;
    // The code of a sign-in through the form (GET it, POST the credentials).
    std::string codeFor(const Pkce& pkce);
    // The authorization-code form in the client's order, and its POST /token.
    std::string exchangeBody(const std::string& code, const std::string& verifier,
                             const std::string& clientId = kClientId) const;
    Reply postToken(const std::string& body);

    // Announces a file (or job) and returns the reply.
    Reply announce(const std::string& token, const std::string& projectId, std::uint64_t size, bool job = false);
    static std::string uploadUrlOf(const Reply& announceReply);

    std::unique_ptr<emulator::CloudEmulator> cloud;
};

}  // namespace emulator_test
