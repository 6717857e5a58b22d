// The Create Setup command against a fresh simulated host with a user interface
// and the log under a private APPDATA: registration and removal in the design
// workspace's seven toolbar modes, the dialog's inputs and drop-downs, and OK
// (the manufacturing model, the additive setup, the failures the user or the log
// sees). The command is removed again when a test ends, so its process-wide state
// does not leak into the next. Main (UI) thread only.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "createsetup/create_setup.h"
#include "host/qrvn.h"
#include "simhost/sim/sim.h"
#include "support/document.h"
#include "tests/exmi/log_reader.h"

namespace createsetup_test {
namespace {

namespace cam = qrvn::cam;
namespace core = qrvn::core;
namespace kalvix = qrvn::kalvix;
namespace sim = qrvn::sim;
using core::Ptr;

constexpr char kVendor[] = "Stratavox";
constexpr char kSolidDefinition[] = "CreateStratavoxSetupCommandSolid";
constexpr char kPrinterInput[] = "StratavoxPrinterSelection";
constexpr char kSettingsInput[] = "StratavoxPrintSettingsSelection";

using Entries = std::vector<exmi_test::Entry>;

class CreateSetupTest : public ::testing::Test {
protected:
    ~CreateSetupTest() override { CreateSetup::unregisterCommand(kVendor); }

    static void addPrinter(const std::string& id, const std::string& name, const std::string& vendor = kVendor) {
        sim::MachineSpec printer;
        printer.id = id;
        printer.name = name;
        printer.vendor = vendor;
        sim::addMachine(printer);
    }

    static void addSetting(const std::string& id, const std::string& name, const std::string& vendor,
                           const std::string& technology = "FFF") {
        sim::PrintSettingSpec setting;
        setting.id = id;
        setting.name = name;
        setting.vendor = vendor;
        setting.technology = technology;
        sim::addPrintSetting(setting);
    }

    // Two vendor printers among others, vendor print settings and generic ones.
    static void fillLibraries() {
        addPrinter("other-1", "Other One", "Othervendor");
        addPrinter("sv-s1", "Stratavox S1");
        addPrinter("sv-s2", "Stratavox S2");
        addSetting("ps-pla", "Stratavox PLA 0.2mm", kVendor);
        addSetting("ps-other", "Other PLA", "Othervendor");
        addSetting("ps-petg", "Stratavox PETG 0.3mm", kVendor);
        addSetting("ps-bowden", "PLA Bowden Tube 0.2mm", "Generic");
        addSetting("ps-direct", "PLA Direct Drive 0.2mm", "Generic");
    }

    // A document with one component holding two bodies, made active.
    static Ptr<kalvix::KalvixDocument> simplePart() {
        auto document = sim::newDocument("Part");
        sim::setDesign(document, {"Part", {"Body1", "Body2"}, {}, {}});
        return document;
    }

    // Registers the command and presses its button in the Solid tab.
    static void openDialog() {
        CreateSetup::registerCommand(kVendor);
        ASSERT_TRUE(sim::pressControl(kSolidDefinition));
        ASSERT_EQ(sim::runningCommandId(), kSolidDefinition);
    }

    static Ptr<core::DropDownCommandInput> dropDown(const std::string& id) {
        auto command = sim::runningCommand();
        if (!command) return nullptr;
        return command->commandInputs()->itemById(id).query<core::DropDownCommandInput>();
    }

    exmi_test::LogFile log;
    sim::Session session_;
};

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
    auto ui = core::Application::get()->userInterface();
    auto definition = ui->commandDefinitions()->addButtonDefinition(id, "Host command", "", "");
    ASSERT_TRUE(definition);
    ASSERT_TRUE(sim::findPanel(panelId)->controls()->addCommand(definition, "", false));
}

using RegistrationTest = CreateSetupTest;

TEST_F(RegistrationTest, RegistersOneButtonPerModeInA3DPrintPanelAndASecondTimeNothing) {
    CreateSetup::registerCommand(kVendor);
    std::vector<size_t> panelCounts;
    for (const Mode& mode : kModes) panelCounts.push_back(sim::findTab(mode.tab)->toolbarPanels()->count());
    CreateSetup::registerCommand(kVendor);

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
        EXPECT_TRUE(sim::findControl(mode.panel, mode.definition)->isPromoted());
    }
}

TEST_F(RegistrationTest, RemovalTakesOutOnlyItsButtonsAndTheEmptyPanelsItMade) {
    // Host panels in two modes, one with a host command; one mode without its tab.
    ASSERT_TRUE(sim::addPanel("SolidTab", "3dPrintPanel_Design", "Host 3D Printing"));
    addHostControl("3dPrintPanel_Design", "HostPrintCommand");
    ASSERT_TRUE(sim::addPanel("ToolsTab", "3dPrintPanel_Utilities", "Host 3D Printing"));
    ASSERT_TRUE(sim::removeTab("PlasticTab"));
    const size_t panelsBefore = sim::findTab("SolidTab")->toolbarPanels()->count();
    const std::string workspaceBefore = sim::activeWorkspaceId();

    CreateSetup::registerCommand(kVendor);
    EXPECT_EQ(sim::findTab("SolidTab")->toolbarPanels()->count(), panelsBefore);
    EXPECT_EQ(sim::findPanel("3dPrintPanel_Design")->name(), "Host 3D Printing");
    EXPECT_EQ(sim::controlIds("3dPrintPanel_Design"), (std::vector<std::string>{kSolidDefinition, "HostPrintCommand"}));
    EXPECT_EQ(createdHandlers("CreateStratavoxSetupCommandPlastic"), 1u);
    EXPECT_TRUE(sim::panelsWithControl("CreateStratavoxSetupCommandPlastic").empty());
    // Another add-in later puts its button into a panel this command made,
    // and one mode's control is gone before removal.
    addHostControl("3dPrintPanel_Form", "OtherAddInCommand");
    ASSERT_TRUE(sim::findControl("3dPrintPanel_Mesh", "CreateStratavoxSetupCommandParaMesh")->deleteMe());

    CreateSetup::unregisterCommand(kVendor);
    EXPECT_TRUE(ourDefinitions().empty());
    for (const Mode& mode : kModes) EXPECT_TRUE(sim::panelsWithControl(mode.definition).empty()) << mode.definition;
    // The host's panels stay, even empty; so does the one with the other
    // add-in's button, which deleting the panel would take along.
    EXPECT_EQ(sim::controlIds("3dPrintPanel_Design"), std::vector<std::string>{"HostPrintCommand"});
    ASSERT_TRUE(sim::findPanel("3dPrintPanel_Utilities"));
    EXPECT_TRUE(sim::controlIds("3dPrintPanel_Utilities").empty());
    EXPECT_EQ(sim::controlIds("3dPrintPanel_Form"), std::vector<std::string>{"OtherAddInCommand"});
    for (const char* made : {"3dPrintPanel_BF", "3dPrintPanel_MeshBF"}) EXPECT_FALSE(sim::findPanel(made)) << made;
    EXPECT_EQ(sim::activeWorkspaceId(), workspaceBefore);
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(RegistrationTest, RefusedDefinitionShowsTheHostsReasonAndStops) {
    // The first mode's definition exists already, so the second mode is the
    // first to ask the host for a new one.
    auto ui = core::Application::get()->userInterface();
    ASSERT_TRUE(ui->commandDefinitions()->addButtonDefinition(kSolidDefinition, "old", "", ""));
    sim::failOperation("CommandDefinitions::addButtonDefinition", 1, "too many commands");

    CreateSetup::registerCommand(kVendor);

    auto boxes = sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "too many commands");
    EXPECT_EQ(ourDefinitions(), std::vector<std::string>{kSolidDefinition});
    EXPECT_FALSE(sim::findPanel(kModes[1].panel));
}

TEST_F(RegistrationTest, HostFailuresDuringRegistrationAndRemovalAreContainedWithALogLine) {
    sim::failOperation("ToolbarTab::toolbarPanels", -1, "tab gone");
    CreateSetup::registerCommand(kVendor);  // must not throw
    // The first mode got its definition before the failure; nothing after it.
    EXPECT_EQ(ourDefinitions(), std::vector<std::string>{kSolidDefinition});
    EXPECT_EQ(log.entries(), (Entries{{"CreateSetup::registerCommand", "Failed no toolbar panels"}}));

    sim::clearFailures();
    sim::failOperation("UserInterface::workspaces", -1, "no workspaces today");
    log.mark();
    CreateSetup::unregisterCommand(kVendor);  // must not throw either
    EXPECT_EQ(log.since(), (Entries{{"CreateSetup::unregisterCommand", "Failed no workspaces"}}));

    // One mode failing during removal keeps only that mode's panel.
    sim::clearFailures();
    CreateSetup::registerCommand(kVendor);
    sim::failOperation("ToolbarPanel::controls", 1, "panel busy");
    log.mark();
    CreateSetup::unregisterCommand(kVendor);
    EXPECT_EQ(log.since(), (Entries{{"CreateSetup::unregisterCommand", "Failed no toolbar controls"}}));
    EXPECT_TRUE(ourDefinitions().empty());
    EXPECT_TRUE(sim::findPanel("3dPrintPanel_Design"));
    for (size_t i = 1; i < kModes.size(); ++i) EXPECT_FALSE(sim::findPanel(kModes[i].panel)) << kModes[i].panel;
}

TEST_F(RegistrationTest, WithoutUserInterfaceRegistrationAndRemovalDoNothing) {
    sim::reset(sim::HostOptions{true, false});
    CreateSetup::registerCommand(kVendor);
    CreateSetup::unregisterCommand(kVendor);
    EXPECT_TRUE(log.entries().empty());
}

// Which items of a drop-down are selected, by index.
std::vector<bool> selection(const Ptr<core::DropDownCommandInput>& dropDown) {
    std::vector<bool> selected;
    auto items = dropDown->listItems();
    for (size_t i = 0; i < items->count(); ++i) selected.push_back(items->item(i)->isSelected());
    return selected;
}

class WorkspaceRecorder : public core::WorkspaceEventHandler {
public:
    void notify(const Ptr<core::WorkspaceEventArgs>& args) override { activated.push_back(args->workspace()->id()); }
    std::vector<std::string> activated;
};

using DialogTest = CreateSetupTest;

TEST_F(DialogTest, OffersTheVendorsPrintersAndSettingsAndOkCreatesTheSetupForTheChosenOnes) {
    fillLibraries();
    auto document = simplePart();
    auto ui = core::Application::get()->userInterface();
    WorkspaceRecorder recorder;
    ui->workspaceActivated()->add(&recorder);
    openDialog();
    ui->workspaceActivated()->remove(&recorder);
    // The libraries are read in the manufacturing workspace; the user stays in design.
    EXPECT_EQ(recorder.activated, (std::vector<std::string>{"CAMEnvironment", "KalvixSolidEnvironment"}));
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment");

    auto tab = sim::runningCommand()->commandInputs()->item(0).query<core::TabCommandInput>();
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->name(), "Select Printer");

    auto printers = dropDown(kPrinterInput);
    auto settings = dropDown(kSettingsInput);
    EXPECT_EQ(printers->name(), "Stratavox Printer Selection");
    EXPECT_EQ(settings->name(), "Stratavox Print Settings Selection");

    EXPECT_EQ(sim::dropDownItems(kPrinterInput), (std::vector<std::string>{"Stratavox S1", "Stratavox S2"}));
    // The vendor's own settings first, then the generic Bowden-tube ones.
    EXPECT_EQ(sim::dropDownItems(kSettingsInput),
              (std::vector<std::string>{"Stratavox PLA 0.2mm", "Stratavox PETG 0.3mm", "PLA Bowden Tube 0.2mm"}));
    EXPECT_EQ(selection(printers), (std::vector<bool>{true, false}));
    EXPECT_EQ(selection(settings), (std::vector<bool>{true, false, false}));

    ASSERT_TRUE(sim::pickDropDownItem(kPrinterInput, "Stratavox S2"));
    ASSERT_TRUE(sim::pickDropDownItem(kSettingsInput, "PLA Bowden Tube 0.2mm"));
    ASSERT_TRUE(sim::okCommand());

    auto camProduct = support::getCamProduct(document);
    ASSERT_TRUE(camProduct);
    auto model = camProduct->manufacturingModels()->itemByName("Manufacturing Model");
    ASSERT_TRUE(model);
    ASSERT_EQ(camProduct->setups()->count(), 1u);
    auto setup = camProduct->setups()->item(0);
    EXPECT_EQ(setup->name(), "Stratavox Setup");
    EXPECT_EQ(setup->operationType(), cam::AdditiveOperation);
    EXPECT_EQ(setup->machine()->id(), "sv-s2");
    EXPECT_EQ(setup->printSetting()->id(), "ps-bowden");
    // A single component stands for itself.
    EXPECT_EQ(setup->models(), std::vector<Ptr<core::Base>>{model->occurrence()});
    EXPECT_EQ(sim::activeWorkspaceId(), "CAMEnvironment");
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(DialogTest, SameNamesAreListedTwiceAndTheFirstIsUsedAndBowdenTubeSettingsAreMatchedExactly) {
    addPrinter("sv-first", "Stratavox S1");
    addPrinter("sv-second", "Stratavox S1");
    addSetting("ps-own", "Stratavox Bowden Tube PLA", kVendor);
    addSetting("ps-resin", "Resin Bowden Tube", "Generic", "SLA");
    addSetting("ps-lower", "PLA bowden tube", "Generic");
    addSetting("ps-generic", "PETG Bowden Tube", "Generic");
    auto document = simplePart();
    openDialog();

    EXPECT_EQ(sim::dropDownItems(kPrinterInput), (std::vector<std::string>{"Stratavox S1", "Stratavox S1"}));
    EXPECT_EQ(sim::dropDownItems(kSettingsInput),
              (std::vector<std::string>{"Stratavox Bowden Tube PLA", "Stratavox Bowden Tube PLA", "PETG Bowden Tube"}));
    ASSERT_TRUE(dropDown(kPrinterInput)->listItems()->item(1)->isSelected(true));
    ASSERT_TRUE(sim::okCommand());

    auto setup = support::getCamProduct(document)->setups()->itemByName("Stratavox Setup");
    ASSERT_TRUE(setup);
    EXPECT_EQ(setup->machine()->id(), "sv-first");
}

TEST_F(DialogTest, WithoutADocumentOrWithAFailingLibraryListsStayEmptyAndTheWorkspaceIsRestored) {
    fillLibraries();
    openDialog();
    EXPECT_TRUE(sim::dropDownItems(kPrinterInput).empty());
    EXPECT_TRUE(sim::dropDownItems(kSettingsInput).empty());
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment");
    ASSERT_TRUE(sim::cancelCommand());

    simplePart();
    sim::failOperation("CAMLibraryManager::printSettingLibrary", -1, "library offline");
    openDialog();
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment");
    EXPECT_EQ(sim::dropDownItems(kPrinterInput), (std::vector<std::string>{"Stratavox S1", "Stratavox S2"}));
    EXPECT_TRUE(sim::dropDownItems(kSettingsInput).empty());
    EXPECT_EQ(log.entries(),
              (Entries{{"CreateSetup::CommandCreatedEventHandler::notify", "Failed no print setting library"}}));
}

const char kNoBodies[] = "The Kalvix document does not contain bodies. No additive setup can be created.";

// "body:", "mesh:" or "occurrence:" followed by the model's name.
std::vector<std::string> describe(const std::vector<Ptr<core::Base>>& models) {
    std::vector<std::string> texts;
    for (const auto& model : models) {
        if (auto body = model.query<kalvix::BRepBody>()) texts.push_back("body:" + body->name());
        else if (auto mesh = model.query<kalvix::MeshBody>()) texts.push_back("mesh:" + mesh->name());
        else if (auto occ = model.query<kalvix::Occurrence>()) texts.push_back("occurrence:" + occ->name());
        else texts.push_back(std::string("other:") + model->objectType());
    }
    return texts;
}

using SetupTest = CreateSetupTest;

TEST_F(SetupTest, AssemblyContributesBodiesOfParentsAndLeavesWithBodiesToAnExistingProduct) {
    fillLibraries();
    auto document = sim::newDocument("Assembly");
    sim::ComponentSpec pin{"Pin", {"PinBody"}, {}, {}};
    sim::ComponentSpec hollow{"Hollow", {}, {}, {}};
    sim::ComponentSpec arm{"Arm", {"ArmBody"}, {"ArmMesh"}, {pin, hollow}};
    sim::ComponentSpec cover{"Cover", {}, {"CoverMesh"}, {}};
    sim::ComponentSpec bolt{"Bolt", {"BoltBody"}, {}, {}};
    sim::ComponentSpec frame{"Frame", {}, {}, {bolt}};
    sim::setDesign(document, {"Assembly", {"Base", "Plate"}, {"Scan"}, {arm, cover, frame}});
    auto existing = sim::ensureCamProduct(document);
    openDialog();
    ASSERT_TRUE(sim::okCommand());

    // An existing manufacturing product receives the setup.
    EXPECT_EQ(support::getCamProduct(document), existing);
    auto setup = existing->setups()->itemByName("Stratavox Setup");
    ASSERT_TRUE(setup);
    EXPECT_EQ(describe(setup->models()),
              (std::vector<std::string>{"body:Base", "body:Plate", "mesh:Scan", "body:ArmBody", "mesh:ArmMesh",
                                        "occurrence:Pin:1", "occurrence:Cover:1", "occurrence:Bolt:1"}));
}

TEST_F(SetupTest, OkThatCannotMakeTheSetupSaysWhyToTheUserOrTheLog) {
    // No printer of the vendor: a log line, and no manufacturing model.
    addPrinter("other-1", "Other One", "Othervendor");
    addSetting("ps-pla", "Stratavox PLA", kVendor);
    auto noPrinter = simplePart();
    openDialog();
    sim::okCommand();
    auto camProduct = support::getCamProduct(noPrinter);
    EXPECT_EQ(camProduct ? camProduct->manufacturingModels()->count() : 0u, 0u);
    EXPECT_EQ(log.entries(), (Entries{{"CreateSetup::OnExecuteEventHandler::notify", "Failed no printer selected"}}));

    // A design without bodies is the user's to hear of; the model stays.
    fillLibraries();
    auto empty = sim::newDocument("Empty");
    sim::setDesign(empty, {"Empty", {}, {}, {{"Nothing", {}, {}, {}}}});
    openDialog();
    ASSERT_TRUE(sim::okCommand());
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::messageBoxes()[0].text, kNoBodies);
    EXPECT_EQ(support::getCamProduct(empty)->manufacturingModels()->count(), 1u);
    EXPECT_EQ(support::getCamProduct(empty)->setups()->count(), 0u);

    // A setup the host refuses is logged, not reported as missing bodies; a
    // failed OK switches nothing.
    sim::clearMessageBoxes();
    auto refused = simplePart();
    openDialog();
    sim::failOperation("Setups::add", -1, "setup limit reached");
    log.mark();
    sim::okCommand();
    EXPECT_TRUE(sim::messageBoxes().empty());
    EXPECT_EQ(support::getCamProduct(refused)->setups()->count(), 0u);
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment");
    EXPECT_EQ(log.since(),
              (Entries{{"CreateSetup::OnExecuteEventHandler::notify", "Failed could not create the setup"}}));
    EXPECT_TRUE(sim::handlerFailures().empty());
}

}  // namespace
}  // namespace createsetup_test
