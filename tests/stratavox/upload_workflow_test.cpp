// The whole upload workflow against the cloud emulator, driven only through
// the palette: sign-in redirect, page messages, heartbeats (called here by the
// test; that the framework's heartbeat thread calls them is the framework's
// tests' business). Both upload kinds into a new and into an existing project,
// what goes on the wire for them, one upload at a time and cancel, and the
// sign-out button following the sign-in state. (Each endpoint's failures, the
// sign-in's too, are the fault matrix's business.)
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "cloud/pkce.h"
#include "tests/stratavox/machine_fixture.h"

using EXMIImpl::base64Encode;

namespace vendor_test {
namespace {

using testing_support::readWholeFile;

using Ids = std::vector<std::string>;
using Lines = std::vector<Entry>;

// The upload type, and whether into a new project.
class UploadTest : public CloudMachineTest, public ::testing::WithParamInterface<std::tuple<std::string, bool>> {};

TEST_P(UploadTest, TheFileArrivesInTheProjectAndThePageShowsSuccess) {
    const auto [uploadType, intoNewProject] = GetParam();
    const bool design = uploadType == "design";
    const std::string extension = design ? ".3mf" : ".gcode";
    std::string projectId = intoNewProject ? "" : cloud->addProject("Existing", "made before");
    signIn();

    if (intoNewProject) {
        fromPage("createproject", form(kNewProject, uploadType));
    } else {
        fromPage("selectproject", form(existingProject(projectId), uploadType));
    }
    // The progress screen comes before any export or transfer; the result
    // needs no heartbeat.
    ASSERT_FALSE(screens().empty());
    EXPECT_EQ(screens().front(), "progressscreen");
    ASSERT_TRUE(waitForResult()) << ::testing::PrintToString(screens());

    const std::vector<emulator::Project> projects = cloud->projects();
    ASSERT_EQ(projects.size(), 1u);
    if (intoNewProject) {
        EXPECT_EQ(projects[0].name, "Brackets");
        EXPECT_EQ(projects[0].description, "Rev A");
        projectId = projects[0].id;
    }
    EXPECT_EQ(lastScreen(), "successscreen:" + projectId);

    // That the exports go and the bytes arrive whole: the fault matrix's retries.
    const auto local = host.written(extension);
    ASSERT_EQ(local.size(), 1u);
    const std::vector<emulator::StoredFile> stored = cloud->storedFiles();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, "Bracket_Setup1" + extension);
    EXPECT_EQ(stored[0].kind, design ? "file" : "job");
    EXPECT_EQ(stored[0].contentType, design ? k3mfType : "text/plain");
    // The storage takes every upload, print jobs too, under the package type.
    EXPECT_EQ(stored[0].uploadContentType, k3mfType);
    EXPECT_EQ(stored[0].origin, "Quorvane Kalvix");
    // The one-time storage address carries its own authorisation: no bearer
    // token goes with the file, and exactly its length.
    std::vector<emulator::RecordedRequest> puts;
    for (const auto& request : cloud->requests())
        if (request.method == "PUT" && request.path.rfind("/storage/", 0) == 0) puts.push_back(request);
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_FALSE(puts[0].hasHeader("Authorization"));
    EXPECT_EQ(puts[0].header("Content-Length"), std::to_string(local[0].bytes.size()));

    if (intoNewProject) {
        // The thumbnail goes without an answer the page waits for.
        ASSERT_TRUE(heartbeatUntil([this] { return !cloud->projects()[0].thumbnailSha256.empty(); }));
        const auto thumbnails = host.written(".jpg");
        ASSERT_EQ(thumbnails.size(), 1u);
        const std::string& jpeg = thumbnails[0].bytes;
        std::vector<std::string> bodies;
        for (const auto& request : cloud->requests()) {
            if (request.method == "PUT" && request.path == "/plyx/v1/projects") {
                EXPECT_EQ(request.header("Content-Type"), "application/json");
            }
            if (request.method == "POST" && request.path == "/plyx/v1/projects/" + projectId)
                bodies.push_back(request.body);
        }
        EXPECT_EQ(bodies, Ids{R"({"data":{"description":"Rev A","display_name":"Brackets","thumbnail":)"
                              R"("data:image/jpeg;base64,)" +
                              base64Encode(std::vector<uint8_t>(jpeg.begin(), jpeg.end())) + "\"}}"});
    } else {
        EXPECT_TRUE(host.written(".jpg").empty());
    }

    // Another upload: back to the form, with this project preselected.
    qrvn::sim::clearMessagesToPage(kPaletteId);
    fromPage("uploadanotherproject");
    EXPECT_EQ(screens(), Ids{"uploadform"});
    ASSERT_TRUE(heartbeatUntil([] { return !messagesNamed("projectlist").empty(); }));
    EXPECT_EQ(messagesNamed("projectlist")[0].get("defaultprojectid"), projectId);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, UploadTest,
                         ::testing::Combine(::testing::Values("design", "toolpath"), ::testing::Bool()));

class WorkflowTest : public CloudMachineTest {
protected:
    // Signed in, a new-project design upload whose storage holds the bytes
    // for a minute, pumped until the page hears it is uploading.
    bool startHeldUpload() {
        signIn();
        cloud->setFault(emulator::Endpoint::StoragePut, emulator::Fault::delay(60));
        fromPage("createproject", form(kNewProject, "design"));
        return pumpUntil(
            [] {
                const auto progress = messagesNamed("uploadprogress");
                return !progress.empty() && progress.back().get("phase") == "uploading";
            },
            nullptr);
    }
};

// The page may hand the redirect over itself; loaded again once signed in,
// it gets the form, a fresh list and the printer.
TEST_F(WorkflowTest, ThePageHandsOverTheRedirectAndReloadsOnceSignedIn) {
    openPalette();
    const std::string redirectAddress = redirectAfterSignIn();
    ASSERT_FALSE(redirectAddress.empty());
    fromPage("auth", "{\"url\":\"" + redirectAddress + "\"}");
    EXPECT_EQ(pageAddress(), "resources_html/index.html");
    ASSERT_TRUE(heartbeatUntil([] { return !messagesNamed("projectlist").empty(); }));
    EXPECT_EQ(messagesNamed("projectlist")[0].data.find("defaultprojectid"), std::string::npos);

    qrvn::sim::clearMessagesToPage(kPaletteId);
    fromPage("apploaded");
    EXPECT_EQ(screens(), Ids{"uploadform"});
    EXPECT_EQ(messagesNamed("materials").size(), 1u);
    ASSERT_TRUE(heartbeatUntil([] { return !messagesNamed("projectlist").empty(); }));
}

// A sign-in the user turned down ends on the sign-in error, also when the
// page that shows it is still loading: it gets the error once it is there.
TEST_F(WorkflowTest, ACancelledSignInShowsItsErrorOnceThePageHasLoaded) {
    openPalette();
    ASSERT_TRUE(qrvn::sim::navigatePalette(kPaletteId, cloud->denyDirect(pageAddress(), "access_denied", "no")));
    ASSERT_TRUE(pumpUntil([] { return pageAddress() == "resources_html/index.html"; }, nullptr));
    qrvn::sim::clearMessagesToPage(kPaletteId);
    fromPage("apploaded");
    EXPECT_EQ(screens(), Ids{"errorscreen:could not authenticate: access_denied (no)"});
    EXPECT_EQ(messagesNamed("navigate").back().get("kind"), "refused");
    qrvn::sim::clearMessagesToPage(kPaletteId);
    fromPage("apploaded");  // once
    EXPECT_TRUE(screens().empty());
    for (const auto& request : cloud->requests()) EXPECT_NE(request.path, "/token");
}

// Navigations that are no answer to the waiting sign-in (under another
// address, or without a code) leave it waiting.
TEST_F(WorkflowTest, OtherNavigationsDoNotSignIn) {
    openPalette();
    ASSERT_TRUE(qrvn::sim::navigatePalette(kPaletteId, cloud->redirectUri() + "?state=STATE"));
    ASSERT_TRUE(qrvn::sim::navigatePalette(kPaletteId, "https://127.0.0.1:9/stratavox/?code=stolen"));
    qrvn::sim::pump();
    EXPECT_EQ(machine->getAsyncHandler()->pendingCount(), 0u);
    EXPECT_NE(pageAddress(), "resources_html/index.html");
    EXPECT_TRUE(pageMessages().empty());
}

// While an upload runs a second one is refused and the page stays on it;
// "cancelupload" ends it: nothing stored, exports gone once the worker let
// go of them, the form back with the project it created chosen in a fresh
// list; the next upload goes into that project.
TEST_F(WorkflowTest, OneUploadAtATimeAndCancelFromThePage) {
    ASSERT_TRUE(startHeldUpload());
    const auto progress = messagesNamed("uploadprogress");
    EXPECT_EQ(progress.front().get("phase"), "exporting");
    EXPECT_EQ(progress.back().get("total"), std::to_string(host.written(".3mf").at(0).bytes.size()));
    EXPECT_FALSE(progress.back().get("sent").empty());
    EXPECT_FALSE(progress.back().get("rate").empty());

    host.log.mark();
    qrvn::sim::clearMessagesToPage(kPaletteId);
    fromPage("createproject", form(kNewProject, "design"));
    fromPage("selectproject", form(existingProject("p-1"), "design"));
    EXPECT_TRUE(screens().empty());
    EXPECT_EQ(linesFrom(host.log.since(), "StratavoxPalette"),
              (Lines{{"StratavoxPalette::onHTMLEvent", "an upload is running; \"createproject\" refused"},
                     {"StratavoxPalette::onHTMLEvent", "an upload is running; \"selectproject\" refused"}}));
    EXPECT_EQ(host.written(".3mf").size(), 1u);

    fromPage("cancelupload");
    EXPECT_EQ(screens(), Ids{"uploadform"});
    const auto projects = cloud->projects();
    ASSERT_EQ(projects.size(), 1u);
    // The form comes back with the project the upload had created.
    EXPECT_EQ(messagesNamed("navigate").back().get("projectid"), projects[0].id);
    // The transfer ends within a second, not at its stall time, and only
    // then, with the file closed, do the exports go.
    ASSERT_TRUE(pumpUntil([this] { return machine->getAsyncHandler()->runningCount() == 0; }, nullptr,
                          std::chrono::seconds(2)));
    EXPECT_TRUE(host.exports(".3mf").empty());
    EXPECT_TRUE(host.exports(".jpg").empty());
    ASSERT_TRUE(pumpUntil([] { return !messagesNamed("projectlist").empty(); }, nullptr));
    EXPECT_EQ(messagesNamed("projectlist").back().get("defaultprojectid"), projects[0].id);
    EXPECT_EQ(screens(), Ids{"uploadform"});
    EXPECT_TRUE(cloud->storedFiles().empty());
    fromPage("cancelupload");  // nothing runs: nothing happens
    EXPECT_EQ(screens(), Ids{"uploadform"});

    // The page uploads into the created project: no second one.
    cloud->clearFaults();
    qrvn::sim::clearMessagesToPage(kPaletteId);
    fromPage("selectproject", form(existingProject(projects[0].id), "design"));
    ASSERT_TRUE(waitForResult());
    EXPECT_EQ(lastScreen(), "successscreen:" + projects[0].id);
    EXPECT_EQ(cloud->storedFiles().size(), 1u);
    EXPECT_EQ(cloud->projects().size(), 1u);
}

// The machine, and with it the palette and the request handler, going away
// mid-upload: the transfer is aborted and the exports go once its worker has
// closed the file, before the handler is gone.
TEST_F(WorkflowTest, AnUploadAbandonedWithItsMachineLeavesNoExportBehind) {
    ASSERT_TRUE(startHeldUpload());
    ASSERT_FALSE(host.exports(".3mf").empty());
    machine.reset();
    EXPECT_TRUE(host.exports(".3mf").empty());
    EXPECT_TRUE(host.exports(".jpg").empty());
    EXPECT_TRUE(cloud->storedFiles().empty());
}

using SignInTest = CloudMachineTest;

TEST_F(SignInTest, TheSignOutButtonFollowsTheTokenAndGoesOnTheNextHeartbeatAfterSignOut) {
    signIn();  // heartbeats until the first project list
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId, kSignOutId}));
    EXPECT_EQ(qrvn::sim::findDefinition(kSignOutId)->tooltip(),
              "Signs out the current session of the StrataVox Fabriqo.<br><br>");

    // Deactivated, no button, not even on a heartbeat; reactivated, all three.
    machine->deactivate();
    machine->onHeartBeat();
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    machine->activate();
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId, kSignOutId}));
    ASSERT_TRUE(qrvn::sim::findPalette(kPaletteId));

    ASSERT_TRUE(qrvn::sim::pressControl(kSignOutId));
    EXPECT_FALSE(connector().isSignedIn());
    EXPECT_FALSE(qrvn::sim::findPalette(kPaletteId));
    EXPECT_EQ(qrvn::sim::messageBoxes().size(), 1u);  // its text: the command's own test
    // Until the next heartbeat the button stays.
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId).size(), 3u);
    machine->onHeartBeat();
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId}));

    // The next sign-in page first signs the account server's session out.
    openPalette();
    EXPECT_NE(pageAddress().find("/logoff?next="), std::string::npos) << pageAddress();
}

// With a refresh token held but the access token run out, opening the
// palette renews the sign-in behind the local page. A refusal forgets the
// token and shows the sign-in page; an unreachable server keeps it, ends on
// the error screen, and the page's "Sign in again" renews it into the form.
TEST_F(SignInTest, OpeningWithARunOutTokenRenewsItOrAsksForTheSignInOnlyWhenRefused) {
    const struct {
        const char* what;
        emulator::Fault fault;
        bool refused;
    } rows[] = {
        {"refused", emulator::Fault::statusCode(400, R"({"error":"invalid_grant"})"), true},
        {"unreachable", emulator::Fault::dropConnection(), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        // Issued with a second more than the client's safety margin.
        cloud->setTokenLifetime(std::chrono::seconds(31));
        openPalette();
        followSignIn();
        ASSERT_TRUE(pumpUntil([this] { return connector().isSignedIn(); }, nullptr));
        ASSERT_TRUE(pumpUntil([this] { return !connector().isSignedIn(); }, nullptr));
        cloud->setTokenLifetime(std::chrono::seconds(3600));
        cloud->setFault(emulator::Endpoint::Token, row.fault);
        host.log.mark();

        openPalette();
        EXPECT_EQ(pageAddress(), "resources_html/index.html");
        fromPage("apploaded");
        if (row.refused) {
            ASSERT_TRUE(pumpUntil([] { return pageAddress().find("/authorize?") != std::string::npos; }, nullptr))
                << pageAddress();
            EXPECT_EQ(host.log.countSince({"CStratavoxFabriqoConnector::resumeSignIn",
                                           "the remembered sign-in was refused (400): the user signs in again"}),
                      1u);
            // Forgotten: the next opening goes straight to the sign-in page.
            openPalette();
            EXPECT_NE(pageAddress().find("/authorize?"), std::string::npos) << pageAddress();
        } else {
            ASSERT_TRUE(pumpUntil([] { return !screens().empty(); }, nullptr));
            EXPECT_EQ(screens().back().rfind("errorscreen:could not finish sign-in", 0), 0u) << screens().back();
            EXPECT_EQ(messagesNamed("navigate").back().get("kind"), "connect");
            cloud->clearFaults();
            qrvn::sim::clearMessagesToPage(kPaletteId);
            fromPage("uploadanotherproject");
            ASSERT_TRUE(pumpUntil([] { return !messagesNamed("projectlist").empty(); }, nullptr));
            EXPECT_EQ(screens().front(), "uploadform");
            EXPECT_TRUE(connector().isSignedIn());
        }
        cloud->clearFaults();
    }
}

// A token the service refused is renewed by the heartbeat; "Sign in again"
// pressed while that renewal is on its way opens the sign-in page. Once the
// renewal has signed the user in and the local page has shown the form, the
// sign-in's own answer, coming last, only brings new tokens: the page is not
// sent back to the form from wherever the user has got to.
TEST_F(SignInTest, ASignInAnsweredAfterARenewalHasShownTheFormLeavesThePageWhereItIs) {
    signIn();
    ASSERT_TRUE(pumpUntil([this] { return connector().isSignedIn(); }, nullptr));
    cloud->expireAccessTokens();
    fromPage("uploadanotherproject");
    ASSERT_TRUE(waitForResult());
    ASSERT_FALSE(connector().isSignedIn());
    machine->onHeartBeat();  // the renewal goes out
    fromPage("uploadanotherproject");
    EXPECT_NE(pageAddress().find("/authorize?"), std::string::npos) << pageAddress();
    ASSERT_TRUE(pumpUntil([this] { return connector().isSignedIn(); }, nullptr));

    qrvn::sim::clearMessagesToPage(kPaletteId);
    followSignIn();
    ASSERT_TRUE(pumpUntil([this] { return machine->getAsyncHandler()->pendingCount() == 0; }, nullptr));
    EXPECT_EQ(screens(), Ids{"uploadform"});
    EXPECT_TRUE(connector().isSignedIn());
}

}  // namespace
}  // namespace vendor_test
