#pragma once
// Test fixture shared by the emulator's and the cloud client's tests: one
// emulator per test, started on an ephemeral loopback port in SetUp and
// stopped in TearDown. Runs on the test thread; the emulator serves on its
// own threads.

#include "emulator/emulator.h"
#include "support/encoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace emulator_test {

extern const char kClientId[];
extern const char kScopes[];  // the client's five scopes, space separated

// Forgets a sign-in kept for the emulator's account server. Windows keeps
// the Credential Manager for the whole (Wine) user, so an earlier test
// program's entry for an emulator that had the same port would be resumed;
// on Linux each program that keeps one has a Secret Service of its own.
void forgetKeptSignIn(const emulator::CloudEmulator& cloud);
// Reproducible arbitrary bytes.
std::string randomBytes(std::size_t count, unsigned seed);

// Percent-encoding as the add-in's client does it: everything but
// A-Z a-z 0-9 - . _ ~ becomes %XX with upper-case hex.
inline std::string encode(const std::string& text) { return support::percentEncode(text); }
// Value of one query parameter of an address (decoded), empty when absent.
std::string queryParam(const std::string& url, const std::string& name);

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<emulator::CloudEmulator> cloud;
};

}  // namespace emulator_test
