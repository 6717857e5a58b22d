// The vendor machine without the network: its buttons per activation state,
// the texts the user sees on them, the factory's failure, and the two small
// commands.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/stratavox/machine_fixture.h"

namespace vendor_test {
namespace {

using Ids = std::vector<std::string>;

TEST_F(MachineTest, ButtonsArePresentExactlyWhileTheMachineIsActiveAndAlive) {
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId}));
    EXPECT_EQ(qrvn::sim::panelsWithControl(kUploadId), Ids{kPanelId});
    EXPECT_TRUE(qrvn::sim::findTab("AdditiveTab")->toolbarPanels()->itemById(kPanelId));

    machine->deactivate();
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    EXPECT_FALSE(qrvn::sim::findDefinition(kUploadId));
    EXPECT_FALSE(qrvn::sim::findDefinition(kOpenId));
    // Heartbeats without a sign-in change nothing, active or not.
    machine->onHeartBeat();
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    machine->activate();
    machine->onHeartBeat();
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId}));
    EXPECT_FALSE(machine->isSignOutShown());

    machine.reset();
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    EXPECT_FALSE(qrvn::sim::findDefinition(kUploadId));

    // A fresh machine has none until activated; destroying it closes its palette.
    std::shared_ptr<EXMI::IExtensibleMachine> fresh =
        makeStratavoxMachine(host.uuid, host.setup->operationId(), vendorDefinition());
    ASSERT_TRUE(fresh);
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    fresh->activate();
    ASSERT_TRUE(qrvn::sim::pressControl(kUploadId));
    ASSERT_TRUE(qrvn::sim::findPalette(kPaletteId));
    fresh->destroy();
    fresh.reset();
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    EXPECT_FALSE(qrvn::sim::findPalette(kPaletteId));
    EXPECT_TRUE(linesFrom(host.log.entries(), "StratavoxPalette").empty());
}

TEST_F(MachineTest, TheButtonsCarryTheVendorsTextsAndIcons) {
    const auto upload = qrvn::sim::findDefinition(kUploadId);
    const auto open = qrvn::sim::findDefinition(kOpenId);
    ASSERT_TRUE(upload && open);
    EXPECT_EQ(upload->name(), "Upload to StrataVox Fabriqo");
    EXPECT_EQ(upload->tooltip(),
              "Uploads your Design to the StrataVox Fabriqo. Please enter a new project name or select an "
              "existing project to transfer your additive setup from Quorvane Kalvix to StrataVox "
              "Fabriqo.<br><br>");
    EXPECT_EQ(upload->resourceFolder(), "resources_html/");
    EXPECT_EQ(open->name(), "Open StrataVox Fabriqo in Browser");
    EXPECT_EQ(open->tooltip(), "Opens StrataVox Fabriqo in the system web browser.<br><br>");
    EXPECT_EQ(open->resourceFolder(), "resources_opensvq/");
    EXPECT_EQ(qrvn::sim::findPanel(kPanelId)->name(), "Stratavox");

    const EXMI::CommandInfo signOut = StratavoxMachine::signOutCommandInfo();
    EXPECT_EQ(signOut.name, "Sign out from StrataVox Fabriqo");
    EXPECT_EQ(signOut.resourceFolder, "resources_logout/");
    EXPECT_EQ(signOut.panelId, kPanelId);

    // "Fabriqo for Quorvane Kalvix / 2 / " and the build date, e.g. "Feb  1 2024".
    EXPECT_TRUE(std::regex_match(machine->getAsyncHandler()->getUserAgent(),
                                 std::regex("Fabriqo for Quorvane Kalvix / 2 / [A-Z][a-z]{2} [ 123][0-9] [0-9]{4}")))
        << machine->getAsyncHandler()->getUserAgent();
}

TEST_F(MachineTest, OpenInBrowserNeedsNoSignIn) {
    RecordingBrowser browser;
    ASSERT_TRUE(qrvn::sim::pressControl(kOpenId));
    ASSERT_TRUE(browser.waitFor(1));
    EXPECT_EQ(browser.opened(), Ids{"https://127.0.0.1:9/app/library/"});
}

TEST_F(MachineTest, SignOutConfirmsEvenWhenNobodyWasSignedIn) {
    StratavoxLogoutCommand command("TestSignOut", StratavoxMachine::signOutCommandInfo(), palette().getConnector());
    openPalette();
    command.onExecute();
    const auto boxes = qrvn::sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Successfully signed out from StrataVox Fabriqo.");
    EXPECT_EQ(boxes[0].title, "StrataVox Fabriqo");
    EXPECT_EQ(host.log.countSince(Entry{"StrataVox Fabriqo", "Successfully signed out from StrataVox Fabriqo."}), 1u);
    // Not signed in: the palette is left alone.
    EXPECT_TRUE(qrvn::sim::findPalette(kPaletteId));

    StratavoxLogoutCommand without("TestSignOut2", StratavoxMachine::signOutCommandInfo(), nullptr);
    without.onExecute();
    StratavoxOpenSVQCommand openWithout("TestOpen2", StratavoxMachine::openCommandInfo(), nullptr);
    openWithout.onExecute();
    EXPECT_EQ(qrvn::sim::messageBoxes().size(), 1u);
}

class VendorWithoutUserInterfaceTest : public ::testing::Test {
protected:
    VendorHost host{qrvn::sim::HostOptions{true, false}};
};

TEST_F(VendorWithoutUserInterfaceTest, TheFactoryLogsAndReturnsNoneWhenTheMachineCannotBeBuilt) {
    EXPECT_FALSE(makeStratavoxMachine("uuid", 7, vendorDefinition()));
    const std::vector<Entry> lines = linesFrom(host.log.entries(), "makeinstance");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message, "fatal error:missing host object: user interface");
}

}  // namespace
}  // namespace vendor_test
