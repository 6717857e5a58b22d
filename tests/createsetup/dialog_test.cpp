// The command's dialog: its inputs, the drop-downs' contents from the CAM
// libraries, and the workspace the user is left in.

#include <string>
#include <vector>

#include "tests/createsetup/fixture.h"

namespace createsetup_test {
namespace {

using qrvn::core::Ptr;
namespace core = qrvn::core;
namespace sim = qrvn::sim;

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

TEST_F(DialogTest, OffersTheVendorsPrintersAndPrintSettingsReadInTheManufacturingWorkspace) {
    fillLibraries();
    simplePart();
    auto ui = core::Application::get()->userInterface();
    WorkspaceRecorder recorder;
    ui->workspaceActivated()->add(&recorder);
    openDialog();
    ui->workspaceActivated()->remove(&recorder);
    // The libraries are read in the manufacturing workspace; the user stays in design.
    EXPECT_EQ(recorder.activated, (std::vector<std::string>{"CAMEnvironment", "KalvixSolidEnvironment"}));
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment");

    auto inputs = sim::runningCommand()->commandInputs();
    ASSERT_EQ(inputs->count(), 1u);
    auto tab = inputs->item(0).query<core::TabCommandInput>();
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->id(), "tab_1");
    EXPECT_EQ(tab->name(), "Select Printer");

    auto children = tab->children();
    ASSERT_EQ(children->count(), 2u);
    auto printers = children->item(0).query<core::DropDownCommandInput>();
    auto settings = children->item(1).query<core::DropDownCommandInput>();
    ASSERT_TRUE(printers);
    ASSERT_TRUE(settings);
    EXPECT_EQ(printers->id(), kPrinterInput);
    EXPECT_EQ(printers->name(), "Stratavox Printer Selection");
    EXPECT_EQ(printers->dropDownStyle(), core::TextListDropDownStyle);
    EXPECT_EQ(settings->id(), kSettingsInput);
    EXPECT_EQ(settings->name(), "Stratavox Print Settings Selection");
    EXPECT_EQ(settings->dropDownStyle(), core::TextListDropDownStyle);

    EXPECT_EQ(sim::dropDownItems(kPrinterInput), (std::vector<std::string>{"Stratavox S1", "Stratavox S2"}));
    // The vendor's own settings first, then the generic Bowden-tube ones.
    EXPECT_EQ(sim::dropDownItems(kSettingsInput),
              (std::vector<std::string>{"Stratavox PLA 0.2mm", "Stratavox PETG 0.3mm", "PLA Bowden Tube 0.2mm"}));
    EXPECT_EQ(selection(printers), (std::vector<bool>{true, false}));
    EXPECT_EQ(selection(settings), (std::vector<bool>{true, false, false}));
}

TEST_F(DialogTest, BowdenTubeSettingsAreMatchedExactlyAndMayBeListedTwice) {
    addPrinter("sv-s1", "Stratavox S1");
    addSetting("ps-own", "Stratavox Bowden Tube PLA", kVendor);
    addSetting("ps-resin", "Resin Bowden Tube", "Generic", "SLA");
    addSetting("ps-lower", "PLA bowden tube", "Generic");
    addSetting("ps-generic", "PETG Bowden Tube", "Generic");
    simplePart();
    openDialog();

    EXPECT_EQ(sim::dropDownItems(kSettingsInput),
              (std::vector<std::string>{"Stratavox Bowden Tube PLA", "Stratavox Bowden Tube PLA", "PETG Bowden Tube"}));
    EXPECT_EQ(selection(dropDown(kSettingsInput)), (std::vector<bool>{true, false, false}));
}

TEST_F(DialogTest, PrintersOfTheSameNameAreBothListedAndTheFirstIsUsed) {
    addPrinter("sv-first", "Stratavox S1");
    addPrinter("sv-second", "Stratavox S1");
    addSetting("ps-pla", "Stratavox PLA", kVendor);
    auto document = simplePart();
    openDialog();

    EXPECT_EQ(sim::dropDownItems(kPrinterInput), (std::vector<std::string>{"Stratavox S1", "Stratavox S1"}));
    auto items = dropDown(kPrinterInput)->listItems();
    ASSERT_TRUE(items->item(1)->isSelected(true));
    ASSERT_EQ(selection(dropDown(kPrinterInput)), (std::vector<bool>{false, true}));
    ASSERT_TRUE(sim::okCommand());

    auto setup = camOf(document)->setups()->itemByName("Stratavox Setup");
    ASSERT_TRUE(setup);
    EXPECT_EQ(setup->machine()->id(), "sv-first");
}

TEST_F(DialogTest, FailureWhileFillingIsLoggedAndTheWorkspaceIsRestored) {
    fillLibraries();
    simplePart();
    sim::failOperation("CAMLibraryManager::printSettingLibrary", -1, "library offline");

    openDialog();
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment");
    EXPECT_EQ(sim::dropDownItems(kPrinterInput), (std::vector<std::string>{"Stratavox S1", "Stratavox S2"}));
    EXPECT_TRUE(sim::dropDownItems(kSettingsInput).empty());
    EXPECT_TRUE(sim::handlerFailures().empty());

    EXPECT_EQ(log.entries(),
              (Entries{{"CreateSetup::CommandCreatedEventHandler::notify", "Failed no print setting library"}}));
}

TEST_F(DialogTest, WithoutADocumentTheListsStayEmptyAndNothingSwitches) {
    fillLibraries();
    openDialog();
    EXPECT_TRUE(dropDown(kPrinterInput));
    EXPECT_TRUE(sim::dropDownItems(kPrinterInput).empty());
    EXPECT_TRUE(sim::dropDownItems(kSettingsInput).empty());
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment");
}

}  // namespace
}  // namespace createsetup_test
