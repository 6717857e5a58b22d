// Whether an upload fits the machine, and the byte counts the table shows.
#include <gtest/gtest.h>

#include <stdexcept>

#include "bench/resources.h"

namespace bench {
namespace {

constexpr uint64_t MiB = 1024ull * 1024ull;
constexpr uint64_t GiB = 1024 * MiB;

TEST(BenchResources, AnUploadNeedsThreeCopiesOnDiskAndTwoInMemory) {
    EXPECT_EQ("", uploadDoesNotFit(GiB, 100 * GiB, 24 * GiB));
    // Disk: the file, the connector's and curl's stored copies, and room to spare.
    EXPECT_EQ("", uploadDoesNotFit(GiB, 3 * GiB + 256 * MiB, 24 * GiB));
    EXPECT_EQ("needs 3.2 GiB of free disk, 3.2 GiB available",
              uploadDoesNotFit(GiB, 3 * GiB + 256 * MiB - 1, 24 * GiB));
    // Memory: the connector holds the file while it sends it.
    EXPECT_EQ("", uploadDoesNotFit(GiB, 100 * GiB, 2 * GiB + 512 * MiB));
    EXPECT_EQ("needs 2.5 GiB of memory, 2 GiB available", uploadDoesNotFit(GiB, 100 * GiB, 2 * GiB));
    EXPECT_EQ("", uploadDoesNotFit(16 * MiB, GiB, GiB));
}

TEST(BenchResources, ReadsTheMachinesFreeDiskAndMemory) {
    EXPECT_GT(freeDiskBytes("/tmp"), 0u);
    EXPECT_GT(availableMemoryBytes(), 0u);
    EXPECT_THROW(freeDiskBytes("/no/such/folder/anywhere"), std::runtime_error);
}

TEST(BenchResources, ByteCountsUseTheLargestWholeUnit) {
    EXPECT_EQ("1023 B", formatBytes(1023));
    EXPECT_EQ("1 KiB", formatBytes(1024));
    EXPECT_EQ("256 MiB", formatBytes(256 * MiB));
    EXPECT_EQ("1 GiB", formatBytes(GiB));
    EXPECT_EQ("1.5 GiB", formatBytes(GiB + GiB / 2));
}

}  // namespace
}  // namespace bench
