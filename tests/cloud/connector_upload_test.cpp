// Uploads against the emulator: a project without thumbnail, checks before
// any request, streaming, progress, stall and untrusted announcement answers.
// What goes on the wire for a whole upload, cancel and one upload at a time
// are checked through the page by the vendor's upload workflow tests; what
// each failure shows by the fault matrix, the texts of wrong answers on the
// readers.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "tests/cloud/connector_fixture.h"

namespace {

using cloudtest::ConnectorTest;
using cloudtest::Screens;
using emulator_test::randomBytes;

// Signed in, with a project to upload into.
class Uploads : public ConnectorTest {
protected:
    void SetUp() override {
        ConnectorTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(signIn());
        project = cloud->addProject("Target", "");
        listener.clear();
    }
    std::string project;
};

TEST_F(Uploads, ANewProjectWithoutThumbnailGoesStraightToTheUpload) {
    connector->createProject("NoPic", "", writeTempFile("a.3mf", "abc"), "a.3mf", k3mfType, "", false);
    ASSERT_TRUE(waitForScreens(2));
    ASSERT_TRUE(drain());
    const emulator::Project created = cloud->projects().back();
    EXPECT_EQ(Screens({{4, ""}, {5, created.id}}), listener.screens);
    EXPECT_TRUE(requestsTo("POST", "/plyx/v1/projects/" + created.id).empty());
}

// An export that cannot go up in one piece fails before any request: no
// empty project, no announcement.
TEST_F(Uploads, UnusableExportsFailBeforeAnyRequest) {
    const std::string missing = tempFolder + "/gone.3mf";
    const std::string empty = writeTempFile("empty.3mf", "");
    const std::string huge = writeTempFile("huge.3mf", "");
    std::filesystem::resize_file(huge, 4294967296ull);  // sparse: costs no disk
    const struct {
        std::string path;
        std::string error;
    } cases[] = {
        {missing, "could not read file: " + missing},
        {tempFolder, "could not read file: " + tempFolder},
        {empty, "the file to upload is empty: " + empty},
        {huge, "the file to upload is too large (4294967296 bytes, at most 4294967295): " + huge},
    };
    const size_t requestsBefore = cloud->requests().size();
    for (const auto& item : cases) {
        for (const bool newProject : {true, false}) {
            SCOPED_TRACE(item.path + (newProject ? " (new project)" : ""));
            listener.clear();
            if (newProject) connector->createProject("P", "", item.path, "x.3mf", k3mfType, "", false);
            else connector->uploadToProject(project, item.path, "x.3mf", k3mfType, false);
            EXPECT_EQ(Screens({{6, item.error}}), listener.screens);
            EXPECT_EQ("file", listener.failures.at(0).kind);
            EXPECT_FALSE(connector->isUploading());
        }
    }
    ASSERT_TRUE(drain());
    EXPECT_EQ(requestsBefore, cloud->requests().size());
    EXPECT_EQ(1u, cloud->projects().size());
}

// The announced size is the file's at the start; a file that changed before
// its PUT is refused instead of sending another length.
TEST_F(Uploads, AFileChangedAfterItsAnnouncementIsNotSent) {
    const std::string path = writeTempFile("changing.3mf", std::string(2000, 'a'));
    connector->uploadToProject(project, path, "c.3mf", k3mfType, false);
    // The announcement is on its way; its answer is dispatched only when
    // this thread pumps.
    writeTempFile("changing.3mf", std::string(3000, 'b'));
    ASSERT_TRUE(waitForScreens(2));
    ASSERT_TRUE(drain());
    EXPECT_EQ(Screens({{4, ""}, {6, "the file changed after it was announced (2000 bytes, now 3000): " + path}}),
              listener.screens);
    for (const auto& request : cloud->requests()) EXPECT_NE(0u, request.path.rfind("/storage", 0)) << request.path;
    EXPECT_TRUE(cloud->storedFiles().empty());
}

// Progress: never more often than five times a second but for the last,
// which reports the whole file, even when the page is slow to take one;
// "sent" never goes back.
TEST_F(Uploads, ProgressIsRateLimitedGrowsAndEndsAtTheTotal) {
#ifdef _WIN32
    // Wine's loopback sockets carry about 2 MB a second to the in-process
    // storage: a quarter of the bytes still takes many of the pump's rounds.
    const std::string bytes = randomBytes(6 * 1024 * 1024, 5);
#else
    const std::string bytes = randomBytes(24 * 1024 * 1024, 5);
#endif
    const std::string path = writeTempFile("big.3mf", bytes);
    // The storage waits before it reads: the transfer then runs over
    // several of the pump's rounds.
    cloud->setFault(emulator::Endpoint::StoragePut, emulator::Fault::delay(0.6, true));
    listener.slowFirstProgress = std::chrono::milliseconds(100);
    // The UI thread is woken for a message that is due, not for every
    // progress check of the transfer (thousands here).
    std::atomic<int> wakes{0};
    handler->setWakeup([&wakes] { ++wakes; });
    const auto start = std::chrono::steady_clock::now();
    connector->uploadToProject(project, path, "big.3mf", k3mfType, false);
    ASSERT_TRUE(waitForScreens(2));
    handler->setWakeup(nullptr);
    EXPECT_LE(wakes.load(), (std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(200) + 3);
    ASSERT_EQ(5, listener.screens.back().first);
    const auto& progress = listener.progress;
    ASSERT_GE(progress.size(), 2u);
    for (size_t i = 1; i < progress.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_GE(progress[i].sent, progress[i - 1].sent);
        EXPECT_EQ(bytes.size(), progress[i].total);
        if (i + 1 < progress.size()) {
            EXPECT_GE(progress[i].at - progress[i - 1].at, std::chrono::milliseconds(200));
        }
    }
    EXPECT_EQ("uploading", progress.back().phase);
    EXPECT_EQ(bytes.size(), progress.back().sent);
    EXPECT_EQ(1u, cloud->storedFiles().size());
}

// The stall time is read with the rest of the configuration, when the
// connector is made.
class StallingUploads : public Uploads {
protected:
    void SetUp() override {
        stall.set("1");
        Uploads::SetUp();
    }
    Variable stall{"STRATAVOX_STALL_SECONDS"};
};

// A storage that takes the request and then answers nothing fails within
// the stall time, with libcurl's own check.
TEST_F(StallingUploads, AStalledTransferFailsWithinTheStallTime) {
    const std::string path = writeTempFile("s.3mf", randomBytes(4096, 3));
    cloud->setFault(emulator::Endpoint::StoragePut, emulator::Fault::delay(60));
    const auto start = std::chrono::steady_clock::now();
    connector->uploadToProject(project, path, "s.3mf", k3mfType, false);
    // libcurl averages the speed over a few seconds, so the failure comes a
    // little after the stall time; the storage would have held it for 60.
    ASSERT_TRUE(pumpUntil([&] { return listener.screens.size() >= 2; }, std::chrono::seconds(30)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(Screens({{4, ""}, {6, "the transfer stalled: no progress for 1 seconds"}}), listener.screens);
}

// A local path as a file URL's path: forward slashes on every system (a
// Windows path's backslashes would also be JSON escapes).
std::string fileUrlPath(const std::string& path) { return testing_support::fsPath(path).generic_u8string(); }

// The announcement's answer is the service's word: an upload address that is
// not https fails before anything is sent, and an error answer reaches the
// page and the log only in its first few KiB, unable to forge a log line.
TEST_F(Uploads, AnnouncementAnswersAreTrustedOnlySoFar) {
    const std::string local = writeTempFile("victim.txt", "the user's own file");
    const std::string forged = "\r\n2026-01-01 00:00:00.000  EXMI | Started EXMI AddIn: forged";
    const std::string longAnswer = "denied" + forged + std::string(50 * 1024, 'x');
    const size_t shown = EXMIImpl::CStratavoxFabriqoConnector::kShownAnswerBytes;
    const struct {
        const char* what;
        emulator::Fault fault;
        std::string text;
    } cases[] = {
        {"file address",
         emulator::Fault::statusCode(200, R"({"data":{"upload_url":"file://)" + fileUrlPath(local) + "\"}}"),
         "the upload address is not https"},
        {"long error answer", emulator::Fault::statusCode(500, longAnswer),
         "could not upload file to project (500)\n" + longAnswer.substr(0, shown) + "\xE2\x80\xA6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        cloud->setFault(emulator::Endpoint::FilesAnnounce, c.fault);
        const std::string file = writeTempFile("design.3mf", "design bytes");
        listener.clear();
        connector->uploadToProject(project, file, "design.3mf", k3mfType, false);
        ASSERT_TRUE(waitForScreens(2));
        ASSERT_TRUE(drain());
        EXPECT_EQ(Screens({{4, ""}, {6, c.text}}), listener.screens);
    }
    EXPECT_TRUE(cloud->storedFiles().empty());
    EXPECT_EQ("the user's own file", testing_support::readWholeFile(local));
    // Every line of the log is the add-in's own: the answer's line break is
    // escaped and its text cut where the page's is.
    const std::string log = logText();
    EXPECT_EQ(std::string::npos, log.find("\r\n2026-01-01")) << log.substr(0, 2000);
    EXPECT_NE(std::string::npos, log.find("(500)\r\n    denied\\r\\n2026-01-01"));
    EXPECT_LT(log.size(), shown + 4096);
}

}  // namespace
