// Whole runs of the demo against an in-process emulator, with the add-in
// loaded by dlopen and its own heartbeat thread: a good run and a failing
// one, each ending with the add-in unloaded; and the browser-like sign-in
// it uses, whose failures the runs do not meet.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "cloud/pkce.h"
#include "demo/browser_sign_in.h"
#include "demo/environment.h"
#include "demo/upload_demo.h"
#include "demo/web_view.h"
#include "emulator/emulator.h"
#include "support/encoding.h"
#include "tests/support/scratch.h"

namespace demo {
namespace {

using support::percentEncode;
using testing_support::EnvironmentOverride;
using testing_support::ScratchFolder;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool libraryIsMapped() { return contains(testing_support::readWholeFile("/proc/self/maps"), "libstratavox_addin"); }

class UploadDemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cloud.start()) << cloud.lastError();
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
    EnvironmentOverride browser{"BROWSER", "/nonexistent/browser"}, tmpdir{"TMPDIR", outside.path()};
    DemoSettings settings;
    std::ostringstream out;
    std::string transcript;
};

TEST_F(UploadDemoTest, AGoodRunPassesEveryCheckAndLeavesBothUploadsInOneProject) {
    ASSERT_EQ(runDemo(), 0) << transcript;
    EXPECT_FALSE(contains(transcript, "[FAIL]"));
    EXPECT_FALSE(contains(transcript, "[skip]"));
    EXPECT_TRUE(contains(transcript, "checks passed.\n")) << transcript;
    EXPECT_TRUE(contains(transcript, "page <- navigate -> successscreen"));
    EXPECT_TRUE(contains(transcript, "browser opened " + cloud.webApp() + "project/"));

    const std::vector<emulator::Project> projects = cloud.projects();
    ASSERT_EQ(projects.size(), 1u);
    EXPECT_EQ(projects[0].name, "Demo Bracket");
    EXPECT_EQ(projects[0].thumbnailContentType, "image/jpeg");
    const std::vector<emulator::StoredFile> files = cloud.storedFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].name, "Bracket_Stratavox Setup.3mf");
    EXPECT_EQ(files[0].kind, "file");
    EXPECT_EQ(files[1].name, "Bracket_Stratavox Setup.gcode");
    EXPECT_EQ(files[1].kind, "job");
    for (const auto& file : files) EXPECT_EQ(file.projectId, projects[0].id);

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
    EXPECT_EQ(variable("BROWSER"), "/nonexistent/browser");
    EXPECT_EQ(variable("TMPDIR"), outside.path());
    EXPECT_FALSE(std::filesystem::exists(outside.path() + "/Quorvane"));
    EXPECT_TRUE(std::filesystem::exists(work.path() + "/Quorvane"));
    EXPECT_TRUE(std::filesystem::exists(settings.logPath));
}

TEST_F(UploadDemoTest, AFailingToolpathUploadIsAFailureAndTheAddInIsStillUnloaded) {
    cloud.setFault(emulator::Endpoint::JobsAnnounce, emulator::Fault::statusCode(500));
    EXPECT_GT(runDemo(), 0);
    EXPECT_TRUE(contains(transcript, "page <- navigate -> errorscreen: \"could not upload file to project (500)"))
        << transcript;
    EXPECT_TRUE(contains(transcript, "[FAIL] the page shows the success screen"));
    EXPECT_TRUE(contains(transcript, "[skip] 10. Open the project in the browser"));
    EXPECT_TRUE(contains(transcript, "[skip] 11. Sign out"));
    EXPECT_TRUE(contains(transcript, "[ok]   stop() returned true"));
    EXPECT_TRUE(contains(transcript, "[FAIL] \"Bracket_Stratavox Setup.gcode\" (text/plain) is stored"));
    EXPECT_TRUE(contains(transcript, "checks FAILED.\n"));
    EXPECT_EQ(cloud.storedFiles().size(), 1u);
    EXPECT_FALSE(libraryIsMapped());
}

class BrowserSignInTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(cloud.start()) << cloud.lastError(); }
    void TearDown() override { cloud.stop(); }

    std::string authorizeAddress(const std::string& state) const {
        return cloud.accountServer() +
               "/authorize?client_id=" + percentEncode(emulator::CloudEmulator::Options().clientId) +
               "&redirect_uri=" + percentEncode(cloud.redirectUri()) + "&scope=" +
               percentEncode("account.user.read plyx.mesh.write library.project.write library.project.read "
                             "plyx.printjob.write") +
               "&response_type=code&state=" + state +
               "&code_challenge=" + percentEncode(EXMIImpl::codeChallengeFor(std::string(64, 'a'))) +
               "&code_challenge_method=S256";
    }

    SignInOutcome signIn(WebView& view, const std::string& address, const std::string& password) {
        return signInAsBrowser(view, address, cloud.redirectUri(), "ada", password);
    }

    size_t requestsTo(const std::string& method, const std::string& path) const {
        size_t count = 0;
        for (const auto& request : cloud.requests()) count += request.method == method && request.path == path;
        return count;
    }

    emulator::CloudEmulator cloud;
};

// The session cookie answers for the form until the account server's
// sign-out address ends it; meanwhile even a wrong password is never sent.
TEST_F(BrowserSignInTest, TheSessionCookieSkipsTheFormUntilTheSignOutAddress) {
    WebView view(cloud.caBundlePath());
    const std::string afterSignOut = cloud.accountServer() + "/logoff?next=" + percentEncode(authorizeAddress("S3"));
    const struct {
        std::string address, password, state;
        bool formSubmitted;
        size_t navigations;  // the sign-out address first, then the redirect
    } steps[] = {
        {authorizeAddress("S1"), "secret", "S1", true, 1},
        {authorizeAddress("S2"), "wrong", "S2", false, 1},
        {afterSignOut, "secret", "S3", true, 2},
    };
    for (const auto& s : steps) {
        const SignInOutcome outcome = signIn(view, s.address, s.password);
        ASSERT_TRUE(outcome.ok) << s.address << ": " << outcome.error;
        EXPECT_EQ(outcome.formSubmitted, s.formSubmitted) << s.address;
        ASSERT_EQ(outcome.navigations.size(), s.navigations) << s.address;
        const std::string& redirect = outcome.navigations.back();
        EXPECT_EQ(redirect.rfind(cloud.redirectUri() + "?", 0), 0u) << redirect;
        EXPECT_NE(redirect.find("state=" + s.state), std::string::npos) << redirect;
    }
}

TEST_F(BrowserSignInTest, WrongPasswordsServerFailuresAndUntrustedCertificatesEndTheSignIn) {
    const std::string start = authorizeAddress("S1");
    WebView trusting(cloud.caBundlePath()), untrusting("");
    const struct {
        WebView& view;
        std::string address, password, error;
        bool wholeError;  // else: the error starts with it
    } cases[] = {
        {trusting, start, "nope", "the sign-in was not accepted: HTTP 401: Wrong user name or password.", true},
        {trusting, "not an address", "secret", "the palette's address is not a web address: not an address", true},
        // Verification stays on: without the emulator's CA nothing is loaded.
        {untrusting, start, "secret", "loading " + start + " failed: ", false},
    };
    for (const auto& c : cases) {
        const SignInOutcome outcome = signIn(c.view, c.address, c.password);
        EXPECT_FALSE(outcome.ok) << c.error;
        EXPECT_TRUE(outcome.navigations.empty());
        if (c.wholeError) EXPECT_EQ(outcome.error, c.error);
        else EXPECT_EQ(outcome.error.rfind(c.error, 0), 0u) << outcome.error;
    }
    EXPECT_EQ(requestsTo("POST", "/authorize"), 1u);  // a refused form is not submitted twice

    cloud.setFault(emulator::Endpoint::Authorize, emulator::Fault::statusCode(503, "<h1>Down</h1>", true));
    WebView fresh(cloud.caBundlePath());
    const SignInOutcome down = signIn(fresh, start, "secret");
    EXPECT_FALSE(down.ok);
    EXPECT_FALSE(down.formSubmitted);
    EXPECT_EQ(down.error.rfind("no sign-in form at " + start + ": HTTP 503", 0), 0u) << down.error;
}

}  // namespace
}  // namespace demo
