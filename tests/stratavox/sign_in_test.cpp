// The sign-out button follows the sign-in state on heartbeats: the machine's
// own heartbeat called by the test, and the framework's heartbeat thread
// with the vendor definition.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exmi/exmi.h"
#include "tests/stratavox/machine_fixture.h"

namespace vendor_test {
namespace {

using Ids = std::vector<std::string>;

using SignInTest = CloudMachineTest;

TEST_F(SignInTest, TheSignOutButtonFollowsTheTokenAndGoesOnTheNextHeartbeatAfterSignOut) {
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId}));
    signIn();  // heartbeats until the first project list
    EXPECT_TRUE(machine->isSignOutShown());
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId, kSignOutId}));
    EXPECT_EQ(qrvn::sim::findDefinition(kSignOutId)->tooltip(),
              "Signs out the current session of the StrataVox Fabriqo.<br><br>");

    // Deactivated, no button, not even on a heartbeat; reactivated, all three.
    machine->deactivate();
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    machine->onHeartBeat();
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    EXPECT_TRUE(machine->isSignOutShown());
    machine->activate();
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId, kSignOutId}));
    // Signed in, the page's "upload another" goes straight to the form.
    openPalette();
    fromPage("uploadanotherproject");
    EXPECT_EQ(screens(), Ids{"uploadform"});
    ASSERT_TRUE(heartbeatUntil([] { return !messagesNamed("projectlist").empty(); }));

    ASSERT_TRUE(qrvn::sim::pressControl(kSignOutId));
    EXPECT_FALSE(connector().isSignedIn());
    EXPECT_FALSE(qrvn::sim::findPalette(kPaletteId));
    ASSERT_EQ(qrvn::sim::messageBoxes().size(), 1u);
    EXPECT_EQ(qrvn::sim::messageBoxes()[0].text, "Successfully signed out from StrataVox Fabriqo.");
    // Until the next heartbeat the button stays.
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId).size(), 3u);
    machine->onHeartBeat();
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId}));
    EXPECT_FALSE(qrvn::sim::findDefinition(kSignOutId));
    EXPECT_FALSE(machine->isSignOutShown());

    // The next sign-in page first signs the account server's session out.
    openPalette();
    EXPECT_NE(pageAddress().find("/logoff?next="), std::string::npos) << pageAddress();
}

// The framework with the vendor definition and its heartbeat thread: the
// test only pumps the UI thread.
class FrameworkSignInTest : public CloudMachineTest {
protected:
    void SetUp() override {
        cloud = std::make_unique<emulator::CloudEmulator>();
        ASSERT_TRUE(cloud->start()) << cloud->lastError();
        useAddresses(cloud->accountServer(), cloud->caBundlePath());
        host.openBracket();
        framework = EXMI::make("Stratavox AddIn", {vendorDefinition()});
        framework->run();
    }
    void TearDown() override {
        if (framework) framework->stop();
        framework.reset();
        CloudMachineTest::TearDown();
    }

    static bool runUntil(const std::function<bool()>& condition) {
        return qrvn::sim::runUntil(condition, std::chrono::seconds(15));
    }

    std::shared_ptr<EXMI::Framework> framework;
};

TEST_F(FrameworkSignInTest, HeartbeatsDeliverTheSignInAndFollowTheSignOut) {
    ASSERT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId}));
    ASSERT_TRUE(qrvn::sim::pressControl(kUploadId));
    ASSERT_TRUE(qrvn::sim::navigatePalette(kPaletteId, redirectAfterSignIn()));
    ASSERT_TRUE(runUntil([] { return pageAddress() == "resources_html/index.html"; }));
    fromPage("apploaded");

    ASSERT_TRUE(runUntil([] {
        return qrvn::sim::controlIds(kPanelId).size() == 3 && !messagesNamed("projectlist").empty();
    }));
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId).back(), kSignOutId);

    ASSERT_TRUE(qrvn::sim::pressControl(kSignOutId));
    ASSERT_TRUE(runUntil([] { return qrvn::sim::controlIds(kPanelId).size() == 2; }));
    EXPECT_FALSE(qrvn::sim::findPalette(kPaletteId));

    framework->stop();
    framework.reset();
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
}

}  // namespace
}  // namespace vendor_test
