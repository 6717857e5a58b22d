// Registration and removal of the command in the design workspace's seven
// toolbar modes.

#include <algorithm>
#include <string>
#include <vector>

#include "tests/createsetup/fixture.h"

namespace createsetup_test {
namespace {

using qrvn::core::Ptr;
namespace sim = qrvn::sim;

struct Mode {
    std::string definition, tab, panel;
};

const std::vector<Mode> kModes = {
    {"CreateStratavoxSetupCommandSolid", "SolidTab", "3dPrintPanel_Design"},
    {"CreateStratavoxSetupCommandParaMesh", "ParaMeshOuterTab", "3dPrintPanel_Mesh"},
    {"CreateStratavoxSetupCommandBaseFeature", "BaseFeatureSolidTab", "3dPrintPanel_BF"},
    {"CreateStratavoxSetupCommandBaseFeatureParaMesh", "ParaMeshBaseFeatureTab", "3dPrintPanel_MeshBF"},
    {"CreateStratavoxSetupCommandUtilities", "ToolsTab", "3dPrintPanel_Utilities"},
    {"CreateStratavoxSetupCommandPlastic", "PlasticTab", "3dPrintPanel_Plastic"},
    {"CreateStratavoxSetupCommandForm", "FormTab", "3dPrintPanel_Form"},
};

const char kTooltip[] = "Creates an additive setup for your specific Stratavox 3D printer to help streamline your "
                        "workflow.\nLets you choose from a range of printers then opens the Manufacture workspace "
                        "with a setup and the selected printer and print settings. Automatically adds all "
                        "components bodies and mesh bodies from the design to a manufacturing model, which is used "
                        "by the additive setup.";

std::vector<std::string> ourDefinitions() {
    std::vector<std::string> ids = sim::definitionIds();
    ids.erase(std::remove_if(ids.begin(), ids.end(),
                             [](const std::string& id) { return id.rfind("CreateStratavoxSetupCommand", 0) != 0; }),
              ids.end());
    return ids;
}

size_t createdHandlers(const std::string& definitionId) {
    auto definition = sim::findDefinition(definitionId);
    return definition ? definition->commandCreated()->handlerCount() : 0;
}

// A command of the host's own, placed in `panelId`.
void addHostControl(const std::string& panelId, const std::string& id) {
    auto ui = qrvn::core::Application::get()->userInterface();
    auto definition = ui->commandDefinitions()->addButtonDefinition(id, "Host command", "", "");
    ASSERT_TRUE(definition);
    ASSERT_TRUE(sim::findPanel(panelId)->controls()->addCommand(definition, "", false));
}

using RegistrationTest = CreateSetupTest;

TEST_F(RegistrationTest, RegistersOneButtonPerModeInA3DPrintPanelAndASecondTimeNothing) {
    CreateSetup::registerCommand(kVendor);
    const std::vector<std::string> definitionsBefore = sim::definitionIds();
    std::vector<size_t> panelCounts;
    for (const Mode& mode : kModes) panelCounts.push_back(sim::findTab(mode.tab)->toolbarPanels()->count());
    CreateSetup::registerCommand(kVendor);
    EXPECT_EQ(sim::definitionIds(), definitionsBefore);

    std::vector<std::string> expectedIds;
    for (const Mode& mode : kModes) expectedIds.push_back(mode.definition);
    EXPECT_EQ(ourDefinitions(), expectedIds);
    for (size_t i = 0; i < kModes.size(); ++i) {
        const Mode& mode = kModes[i];
        SCOPED_TRACE(mode.definition);
        auto definition = sim::findDefinition(mode.definition);
        ASSERT_TRUE(definition);
        EXPECT_EQ(definition->name(), "Create Stratavox Setup");
        EXPECT_EQ(definition->tooltip(), kTooltip);
        EXPECT_EQ(definition->resourceFolder(), "resources_createSetup");
        EXPECT_EQ(createdHandlers(mode.definition), 1u);

        EXPECT_EQ(sim::findTab(mode.tab)->toolbarPanels()->count(), panelCounts[i]);
        auto panel = sim::findPanel(mode.panel);
        ASSERT_TRUE(panel);
        EXPECT_EQ(panel->name(), "3D Print");
        EXPECT_EQ(panel->parentTab()->id(), mode.tab);
        EXPECT_EQ(sim::controlIds(mode.panel), std::vector<std::string>{mode.definition});
        auto control = sim::findControl(mode.panel, mode.definition);
        ASSERT_TRUE(control);
        EXPECT_TRUE(control->isPromotedByDefault());
        EXPECT_TRUE(control->isPromoted());
        EXPECT_TRUE(control->isVisible());
        EXPECT_EQ(control->commandDefinition(), definition);
    }
    EXPECT_TRUE(sim::messageBoxes().empty());

    // The panels still count as the command's own and go on removal.
    CreateSetup::unregisterCommand(kVendor);
    EXPECT_FALSE(sim::findPanel("3dPrintPanel_Design"));
}

TEST_F(RegistrationTest, ModeWithoutItsTabGetsDefinitionAndHandlerButNoControl) {
    ASSERT_TRUE(sim::removeTab("PlasticTab"));
    CreateSetup::registerCommand(kVendor);

    EXPECT_TRUE(sim::findDefinition("CreateStratavoxSetupCommandPlastic"));
    EXPECT_EQ(createdHandlers("CreateStratavoxSetupCommandPlastic"), 1u);
    EXPECT_TRUE(sim::panelsWithControl("CreateStratavoxSetupCommandPlastic").empty());
    // Registration went on with the mode after it.
    EXPECT_EQ(sim::panelsWithControl("CreateStratavoxSetupCommandForm"), std::vector<std::string>{"3dPrintPanel_Form"});
}

TEST_F(RegistrationTest, HostPanelsAreReusedAndKeptOnRemovalEvenWhenEmpty) {
    ASSERT_TRUE(sim::addPanel("SolidTab", "3dPrintPanel_Design", "Host 3D Printing"));
    addHostControl("3dPrintPanel_Design", "HostPrintCommand");
    ASSERT_TRUE(sim::addPanel("ToolsTab", "3dPrintPanel_Utilities", "Host 3D Printing"));
    const size_t panelsBefore = sim::findTab("SolidTab")->toolbarPanels()->count();

    CreateSetup::registerCommand(kVendor);
    EXPECT_EQ(sim::findTab("SolidTab")->toolbarPanels()->count(), panelsBefore);
    EXPECT_EQ(sim::findPanel("3dPrintPanel_Design")->name(), "Host 3D Printing");
    EXPECT_EQ(sim::findPanel("3dPrintPanel_Utilities")->name(), "Host 3D Printing");
    EXPECT_EQ(sim::controlIds("3dPrintPanel_Design"), (std::vector<std::string>{kSolidDefinition, "HostPrintCommand"}));

    CreateSetup::unregisterCommand(kVendor);
    auto panel = sim::findPanel("3dPrintPanel_Design");
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isValid());
    EXPECT_EQ(sim::controlIds("3dPrintPanel_Design"), std::vector<std::string>{"HostPrintCommand"});
    ASSERT_TRUE(sim::findPanel("3dPrintPanel_Utilities"));
    EXPECT_TRUE(sim::controlIds("3dPrintPanel_Utilities").empty());
    EXPECT_FALSE(sim::findDefinition(kSolidDefinition));
    // The panels the command made itself are gone.
    EXPECT_FALSE(sim::findPanel("3dPrintPanel_Mesh"));
}

TEST_F(RegistrationTest, RemovalTakesAwayControlsCreatedPanelsAndDefinitions) {
    const std::string workspaceBefore = sim::activeWorkspaceId();
    CreateSetup::registerCommand(kVendor);
    // Another add-in later puts its button into a panel this command made,
    // and one mode's control is gone before removal.
    addHostControl("3dPrintPanel_Form", "OtherAddInCommand");
    ASSERT_TRUE(sim::findControl("3dPrintPanel_Mesh", "CreateStratavoxSetupCommandParaMesh")->deleteMe());

    CreateSetup::unregisterCommand(kVendor);
    EXPECT_TRUE(ourDefinitions().empty());
    for (const Mode& mode : kModes) {
        SCOPED_TRACE(mode.panel);
        EXPECT_TRUE(sim::panelsWithControl(mode.definition).empty());
        if (mode.panel != "3dPrintPanel_Form" && mode.panel != "3dPrintPanel_Mesh") {
            EXPECT_FALSE(sim::findPanel(mode.panel));
        }
    }
    // Deleting that panel would have taken the other add-in's button along.
    EXPECT_EQ(sim::controlIds("3dPrintPanel_Form"), std::vector<std::string>{"OtherAddInCommand"});
    EXPECT_EQ(sim::activeWorkspaceId(), workspaceBefore);
    EXPECT_TRUE(sim::handlerFailures().empty());
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(RegistrationTest, RefusedDefinitionShowsTheHostsReasonAndStops) {
    // The first mode's definition exists already, so the second mode is the
    // first to ask the host for a new one.
    auto ui = qrvn::core::Application::get()->userInterface();
    ASSERT_TRUE(ui->commandDefinitions()->addButtonDefinition(kSolidDefinition, "old", "", ""));
    sim::failOperation("CommandDefinitions::addButtonDefinition", 1, "too many commands");

    CreateSetup::registerCommand(kVendor);

    auto boxes = sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "too many commands");
    EXPECT_EQ(boxes[0].title, "");
    EXPECT_EQ(boxes[0].buttons, qrvn::core::OKButtonType);
    EXPECT_EQ(boxes[0].icon, qrvn::core::NoIconIconType);

    EXPECT_EQ(ourDefinitions(), std::vector<std::string>{kSolidDefinition});
    EXPECT_EQ(sim::controlIds("3dPrintPanel_Design"), std::vector<std::string>{kSolidDefinition});
    for (size_t i = 1; i < kModes.size(); ++i) EXPECT_FALSE(sim::findPanel(kModes[i].panel));
}

TEST_F(RegistrationTest, RemovalFailureInOneModeIsLoggedAndTheRestIsRemoved) {
    CreateSetup::registerCommand(kVendor);
    sim::failOperation("ToolbarPanel::controls", 1, "panel busy");

    CreateSetup::unregisterCommand(kVendor);
    EXPECT_TRUE(ourDefinitions().empty());
    EXPECT_TRUE(sim::findPanel("3dPrintPanel_Design"));  // the mode that failed
    for (size_t i = 1; i < kModes.size(); ++i) {
        EXPECT_FALSE(sim::findPanel(kModes[i].panel)) << kModes[i].panel;
    }
    EXPECT_EQ(log.entries(), (Entries{{"CreateSetup::unregisterCommand", "Failed no toolbar controls"}}));
}

TEST_F(RegistrationTest, HostFailureDuringRegistrationIsContainedWithALogLine) {
    sim::failOperation("ToolbarTab::toolbarPanels", -1, "tab gone");
    CreateSetup::registerCommand(kVendor);  // must not throw

    // The first mode got its definition before the failure; nothing after it.
    EXPECT_EQ(ourDefinitions(), std::vector<std::string>{kSolidDefinition});
    EXPECT_EQ(log.entries(), (Entries{{"CreateSetup::registerCommand", "Failed no toolbar panels"}}));
    log.mark();

    sim::clearFailures();
    sim::failOperation("UserInterface::workspaces", -1, "no workspaces today");
    CreateSetup::unregisterCommand(kVendor);  // must not throw either
    EXPECT_EQ(log.since(), (Entries{{"CreateSetup::unregisterCommand", "Failed no workspaces"}}));
}

class WithoutUserInterfaceTest : public CreateSetupTest {
protected:
    WithoutUserInterfaceTest() : CreateSetupTest(options()) {}
    static sim::HostOptions options() {
        sim::HostOptions o;
        o.withUserInterface = false;
        return o;
    }
};

TEST_F(WithoutUserInterfaceTest, RegistrationAndRemovalDoNothing) {
    CreateSetup::registerCommand(kVendor);
    CreateSetup::unregisterCommand(kVendor);
    EXPECT_TRUE(log.entries().empty());
}

}  // namespace
}  // namespace createsetup_test
