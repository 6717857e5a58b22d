#pragma once
// Test fixture shared by the emulator's and the cloud client's tests: one
// emulator per test, started on an ephemeral loopback port in SetUp and
// stopped in TearDown. Runs on the test thread; the emulator serves on its
// own threads.

#include "emulator/emulator.h"
#include "tests/emulator/https_client.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace emulator_test {

extern const char kClientId[];
extern const char kScopes[];  // the client's five scopes, space separated

// A decodable JPEG of the given size, encoded with libjpeg.
std::string makeJpeg(int width, int height);
// Forgets a sign-in kept for the emulator's account server. Windows keeps
// the Credential Manager for the whole (Wine) user, so an earlier test
// program's entry for an emulator that had the same port would be resumed;
// on Linux each program that keeps one has a Secret Service of its own.
void forgetKeptSignIn(const emulator::CloudEmulator& cloud);
// Reproducible arbitrary bytes.
std::string randomBytes(std::size_t count, unsigned seed);

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    RequestOptions options(std::vector<std::string> headers = {}) const;
    RequestOptions bearer(const std::string& token, std::vector<std::string> headers = {}) const;

    std::unique_ptr<emulator::CloudEmulator> cloud;
};

}  // namespace emulator_test
