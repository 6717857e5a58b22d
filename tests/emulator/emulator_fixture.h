#pragma once
// Test fixture shared by the emulator's and the cloud client's tests: one
// emulator per test, started on an ephemeral loopback port in SetUp and
// stopped in TearDown (a test may replace it with one of other options), plus
// helpers that speak to it the way the add-in's cloud client does (same
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
    std::string challenge;  // base64url of SHA-256(verifier), '=' padded unless asked otherwise
};
Pkce makePkce(bool padded = true);

// A decodable JPEG of the given size, encoded with libjpeg.
std::string makeJpeg(int width, int height);
// Reproducible arbitrary bytes.
std::string randomBytes(std::size_t count, unsigned seed);
std::string base64(const std::string& bytes);
std::string sha256Hex(const std::string& bytes);

struct Tokens {
    std::string access, refresh;
    long expiresIn = 0;
};

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Stops the running emulator and starts one with these options instead.
    void restartWith(const emulator::CloudEmulator::Options& options);

    RequestOptions options(std::vector<std::string> headers = {}) const;
    RequestOptions bearer(const std::string& token, std::vector<std::string> headers = {}) const;

    std::string authorizeUrl(const Pkce& pkce, const std::string& clientId = kClientId,
                             const std::string& scope = kScopes, const std::string& method = "S256") const;
    // GET the form, POST the credentials; returns the final reply (302 when
    // the sign-in worked).
    Reply signIn(const std::string& authorizeUrl, const std::string& user = "ada",
                 const std::string& password = "secret");
    // The code of a successful sign-in through the form.
    std::string codeFor(const Pkce& pkce);
    // POST /token with the authorization-code form in the client's order.
    Reply exchangeCode(const std::string& code, const std::string& verifier, const std::string& clientId = kClientId);
    Reply refresh(const std::string& refreshToken, const std::string& clientId = kClientId);
    // Full sign-in through the form; fails the test when any step fails.
    Tokens signInFully();
    static Tokens parseTokens(const Reply& reply);
    long listStatus(const std::string& token);

    // Announces a file (or job) and returns the reply.
    Reply announce(const std::string& token, const std::string& projectId, std::uint64_t size, bool job = false);
    static std::string uploadUrlOf(const Reply& announceReply);

    std::unique_ptr<emulator::CloudEmulator> cloud;
};

}  // namespace emulator_test
