// Upload storage: one-time presigned URLs, sizes, hashes, nothing half-stored.

#include "tests/emulator/emulator_fixture.h"

#include <fstream>
#include <iterator>
#include <thread>

namespace emulator_test {
namespace {

const char k3mf[] = "Content-Type: application/vnd.ms-package.3dmanufacturing-3dmodel+xml";

class StorageTest : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        token = cloud->issueAccessToken();
        project = cloud->addProject("P", "");
    }
    std::string urlFor(std::uint64_t size, bool job = false) {
        return uploadUrlOf(announce(token, project, size, job));
    }
    Reply upload(const std::string& url, const std::string& bytes, std::vector<std::string> headers = {k3mf}) {
        return request("PUT", url, bytes, options(std::move(headers)));
    }
    std::string token, project;
};

std::string pattern(std::size_t size) { return randomBytes(size, 131); }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What is stored and under which names is checked by the connector's upload
// tests; here: a large body is streamed to disk, not kept in memory, and a
// presigned address takes one upload only.
TEST_F(StorageTest, LargeUploadIsStreamedAndHashedAndItsAddressIsSpent) {
    std::string bytes = pattern(6u * 1024u * 1024u + 13u);
    std::string url = urlFor(bytes.size());
    ASSERT_EQ(upload(url, bytes).status, 200);
    ASSERT_EQ(cloud->storedFiles().size(), 1u);
    EXPECT_EQ(cloud->storedFiles()[0].sha256, sha256Hex(bytes));
    EXPECT_EQ(readFile(cloud->storedFiles()[0].path), bytes);
    std::vector<emulator::RecordedRequest> log = cloud->requests();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().bodySize, bytes.size());
    EXPECT_TRUE(log.back().body.empty());

    EXPECT_EQ(upload(url, bytes).status, 403);
    EXPECT_EQ(upload(cloud->accountServer() + "/storage/" + std::string(64, 'a'), bytes).status, 404);
    EXPECT_EQ(cloud->storedFiles().size(), 1u);
}

TEST_F(StorageTest, AuthorizationHeaderIsRefused) {
    std::string bytes = pattern(64);
    std::string url = urlFor(bytes.size());
    Reply refused = upload(url, bytes, {k3mf, "Authorization: Bearer " + token});
    EXPECT_EQ(refused.status, 403);
    EXPECT_NE(refused.body.find("Authorization"), std::string::npos);
    EXPECT_TRUE(cloud->storedFiles().empty());
    // The URL was not spent by the refused request.
    EXPECT_EQ(upload(url, bytes).status, 200);
}

TEST_F(StorageTest, SizeMustEqualTheAnnouncedFileSize) {
    std::string url = urlFor(100);
    EXPECT_EQ(upload(url, pattern(99)).status, 400);
    EXPECT_EQ(upload(url, pattern(101)).status, 400);
    EXPECT_TRUE(cloud->storedFiles().empty());
    EXPECT_EQ(upload(url, pattern(100)).status, 200);
    ASSERT_EQ(cloud->storedFiles().size(), 1u);
    EXPECT_EQ(cloud->storedFiles()[0].size, 100u);

    // Chunked bodies carry no length; the count is checked after the fact.
    std::string chunkedUrl = urlFor(50);
    Reply chunked = upload(chunkedUrl, pattern(60), {k3mf, "Transfer-Encoding: chunked"});
    EXPECT_EQ(chunked.status, 400);
    EXPECT_EQ(cloud->storedFiles().size(), 1u);
}

TEST_F(StorageTest, UploadBrokenMidBodyLeavesNothingStored) {
    std::string bytes = pattern(256u * 1024u);
    std::string url = urlFor(bytes.size());
    RequestOptions broken = options({k3mf});
    broken.abortUploadAfter = 100000;
    Reply aborted = request("PUT", url, bytes, broken);
    EXPECT_NE(aborted.curlCode, 0);
    // The server notices the break on its own thread; poll until the slot
    // is free again rather than sleeping.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    long status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        status = upload(url, bytes).status;
        if (status != 409) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(status, 200);
    ASSERT_EQ(cloud->storedFiles().size(), 1u);
    EXPECT_EQ(cloud->storedFiles()[0].sha256, sha256Hex(bytes));
}

TEST_F(StorageTest, StoredFilesLeaveWithTheEmulatorUnlessKept) {
    std::string url = urlFor(10);
    ASSERT_EQ(upload(url, pattern(10)).status, 200);
    std::string path = cloud->storedFiles().at(0).path;
    std::string ca = cloud->caBundlePath();
    EXPECT_FALSE(readFile(ca).empty());
    cloud->stop();
    EXPECT_FALSE(std::ifstream(path).good());
    EXPECT_FALSE(std::ifstream(ca).good());
    EXPECT_EQ(cloud->storedFiles().size(), 1u);  // the record outlives the bytes
}

}  // namespace
}  // namespace emulator_test
