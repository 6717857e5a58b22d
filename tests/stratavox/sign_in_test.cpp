// The sign-out button follows the sign-in state on the machine's heartbeat,
// called here by the test. That the framework's heartbeat thread calls it is
// the framework's tests' business; the loaded add-in's tests run the two together.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace vendor_test
