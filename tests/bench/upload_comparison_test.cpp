// The upload benchmark's file and its two ways against the emulator: each
// really stores the file's bytes, the connector goes through announce and
// one-time address, and a failed upload is an error, never a measurement.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "bench/upload_comparison.h"
#include "cloud/pkce.h"
#include "tests/support/scratch.h"

namespace bench {
namespace {

using emulator::Endpoint;
using emulator::Fault;

// What the upload threw; a refused upload must never come back as a measurement.
std::string failureOf(const std::function<void()>& upload) {
    try {
        upload();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "measured a refused upload";
}

class UploadComparisonTest : public ::testing::Test {
protected:
    UploadComparisonTest() : comparison(scratch.path(), BENCH_PROGRAMS) {}

    std::string benchFile(uint64_t bytes) {
        const std::string path = scratch / "bench.3mf";
        writeBenchFile(path, bytes);
        return path;
    }

    testing_support::ScratchFolder scratch;
    UploadComparison comparison;
};

TEST_F(UploadComparisonTest, BothWaysStoreTheFilesBytes) {
    const uint64_t size = 1024 * 1024 + 5;
    const std::string file = benchFile(size);
    const std::string bytes = testing_support::readWholeFile(file);
    ASSERT_EQ(size, bytes.size());
    // Not a repeated block: no transfer could shrink it.
    EXPECT_NE(bytes.substr(0, 512 * 1024), bytes.substr(512 * 1024, 512 * 1024));
    EXPECT_NE(bytes.substr(0, 8), bytes.substr(8, 8));
    EXPECT_THROW(writeBenchFile(scratch / "missing/f.bin", 1), std::runtime_error);
    const std::string sha = EXMIImpl::sha256Hex(bytes);

    // The emulator refuses a storage PUT that carries Authorization and one
    // whose size differs from the announced one: a stored copy proves both.
    const UploadRun connector = comparison.viaConnector(file);
    const UploadRun curl = comparison.viaCurl(file);
    const auto stored = comparison.cloud().storedFiles();
    ASSERT_EQ(2u, stored.size());
    for (const auto& copy : stored) {
        EXPECT_EQ(size, copy.size);
        EXPECT_EQ(sha, copy.sha256);
        // Only one copy lies on disk at a time; the benchmark removes each.
        EXPECT_FALSE(std::filesystem::exists(copy.path));
    }
    EXPECT_GT(connector.seconds, 0);
    EXPECT_GT(curl.seconds, 0);
    // The connector holds the whole file while it sends it.
    EXPECT_GE(connector.peakKiB, 1024);
    EXPECT_GT(curl.peakKiB, 0);
}

TEST_F(UploadComparisonTest, RefusedUploadsAreErrorsWithTheReason) {
    const std::string file = benchFile(4096);
    comparison.cloud().setFault(Endpoint::StoragePut, Fault::statusCode(507));
    const std::string viaConnector = failureOf([&] { comparison.viaConnector(file); });
    EXPECT_NE(std::string::npos, viaConnector.find("could not upload file content (507)")) << viaConnector;
    const std::string viaCurl = failureOf([&] { comparison.viaCurl(file); });
    EXPECT_NE(std::string::npos, viaCurl.find("answered 507")) << viaCurl;
    comparison.cloud().setFault(Endpoint::FilesAnnounce, Fault::statusCode(403, "denied"));
    EXPECT_THROW(comparison.viaCurl(file), std::runtime_error);
    EXPECT_TRUE(comparison.cloud().storedFiles().empty());
}

}  // namespace
}  // namespace bench
