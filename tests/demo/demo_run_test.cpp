// Whole runs of the demo against an in-process emulator, with the add-in
// loaded by dlopen and its own heartbeat thread: a good run and a failing
// one, each ending with the add-in unloaded. They drive the demo's pieces
// (service addresses, browser-like sign-in, page watcher, printed state).
#include <gtest/gtest.h>

#include "tests/emulator/emulator_fixture.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <sstream>
#include <string>

#include "demo/environment.h"
#include "demo/recording_browser.h"
#include "demo/upload_demo.h"
#include "emulator/emulator.h"
#include "support/files.h"
#include "tests/support/scratch.h"

namespace demo {
namespace {

using testing_support::EnvironmentOverride;
using testing_support::ScratchFolder;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

#ifdef _WIN32
bool libraryIsMapped() { return GetModuleHandleW(testing_support::fsPath(STRATAVOX_ADDIN_PATH).wstring().c_str()); }
#else
bool libraryIsMapped() { return contains(testing_support::readWholeFile("/proc/self/maps"), "libstratavox_addin"); }
#endif

class UploadDemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cloud.start()) << cloud.lastError();
        emulator_test::forgetKeptSignIn(cloud);
        account.set(cloud.accountServer());
        api.set(cloud.apiBase());
        webApp.set(cloud.webApp());
        redirect.set(cloud.redirectUri());
        ca.set(cloud.caBundlePath());
        settings.addinPath = STRATAVOX_ADDIN_PATH;
        settings.workFolder = work.path();
        settings.logPath = prepareLogFile("/nonexistent/unused");
        settings.wait = std::chrono::seconds(20);
    }
    void TearDown() override { cloud.stop(); }

    int runDemo() {
        const int failures = runUploadDemo(settings, out);
        transcript = out.str();
        return failures;
    }

    emulator::CloudEmulator cloud;
    ScratchFolder work, logs, outside;
    EnvironmentOverride appdata{"APPDATA", logs.path()};
    EnvironmentOverride account{"STRATAVOX_ACCOUNT_SERVER"}, api{"STRATAVOX_API_BASE"}, webApp{"STRATAVOX_WEB_APP"},
        redirect{"STRATAVOX_REDIRECT_URI"}, ca{"STRATAVOX_CA_BUNDLE"};
    EnvironmentOverride browser{kBrowserVariable, "/nonexistent/browser"},
        tmpdir{testing_support::kTempFolderVariable, outside.path()};
    DemoSettings settings;
    std::ostringstream out;
    std::string transcript;
};

TEST_F(UploadDemoTest, AGoodRunPassesEveryCheckAndLeavesBothUploadsInOneProject) {
    ASSERT_EQ(runDemo(), 0) << transcript;
    EXPECT_FALSE(contains(transcript, "[FAIL]"));
    EXPECT_FALSE(contains(transcript, "[skip]"));
    EXPECT_TRUE(contains(transcript, "page <- navigate -> successscreen"));
    EXPECT_TRUE(contains(transcript, "browser opened " + cloud.webApp() + "project/"));

    // Which project and files the emulator holds the demo checks itself; the
    // failing run shows those checks can fail.
    const std::vector<emulator::StoredFile> files = cloud.storedFiles();
    ASSERT_EQ(files.size(), 2u);

    // The sign-in went through the account server's page, as a browser's.
    size_t formPosts = 0;
    for (const auto& request : cloud.requests()) {
        formPosts += request.method == "POST" && request.path == "/authorize";
        EXPECT_NE(request.path.rfind("/stratavox", 0), 0u);
    }
    EXPECT_EQ(formPosts, 1u);

    // What the demo printed is what the emulator holds, read from its state.
    EXPECT_TRUE(contains(transcript, "thumbnail image/jpeg")) << transcript;
    for (const auto& file : files) {
        EXPECT_TRUE(
            contains(transcript, "size " + std::to_string(file.size) + " bytes, content type " + file.contentType));
        EXPECT_TRUE(contains(transcript, "SHA-256 " + file.sha256));
    }

    EXPECT_FALSE(libraryIsMapped());
    EXPECT_EQ(variable(kBrowserVariable), "/nonexistent/browser");
    EXPECT_EQ(variable(testing_support::kTempFolderVariable), outside.path());
    EXPECT_FALSE(std::filesystem::exists(outside.path() + "/" + support::tempFolderName()));
    EXPECT_TRUE(std::filesystem::exists(work.path() + "/" + support::tempFolderName()));
}

TEST_F(UploadDemoTest, AFailingToolpathUploadIsAFailureAndTheAddInIsStillUnloaded) {
    cloud.setFault(emulator::Endpoint::JobsAnnounce, emulator::Fault::statusCode(500));
    EXPECT_GT(runDemo(), 0);
    EXPECT_TRUE(contains(transcript, "page <- navigate -> errorscreen: \"could not upload file to project (500)"))
        << transcript;
    EXPECT_TRUE(contains(transcript, "[FAIL] the page shows the success screen"));
    EXPECT_TRUE(contains(transcript, "[skip] 10. Open the project in the browser"));
    EXPECT_TRUE(contains(transcript, "[ok]   stop() returned true"));
    EXPECT_TRUE(contains(transcript, "[FAIL] \"Bracket_Stratavox Setup.gcode\" (text/plain) is stored"));
    EXPECT_TRUE(contains(transcript, "checks FAILED.\n"));
    EXPECT_EQ(cloud.storedFiles().size(), 1u);
    EXPECT_FALSE(libraryIsMapped());
}

}  // namespace
}  // namespace demo
