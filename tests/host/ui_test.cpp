// The user interface: command definitions, toolbar tabs, panels and
// controls, the flow of a command from a pressed control to execute and
// destroy, dialogs, palettes and the view.
#include <cstdio>

#include "tests/host/recorders.h"
#include "tests/support/scratch.h"

namespace hosttest {
namespace {

using namespace qrvn;

// Logs "execute" or "destroy", marked "(invalid)" if the command already ended.
class EndHandler : public core::CommandEventHandler {
public:
    EndHandler(std::vector<EventLog*> logs, std::string name) : logs_(std::move(logs)), name_(std::move(name)) {}
    void notify(const Ptr<core::CommandEventArgs>& args) override {
        for (auto* log : logs_) log->push_back(name_ + (args->command()->isValid() ? "" : "(invalid)"));
    }

private:
    std::vector<EventLog*> logs_;
    std::string name_;
};

// Records every event of the commands of one definition and, if asked,
// builds a tab with a "printer" drop-down when a command is created.
class CommandProbe : public core::CommandCreatedEventHandler,
                     public core::InputChangedEventHandler,
                     public core::ValidateInputsEventHandler {
public:
    CommandProbe(Ptr<core::CommandDefinition> definition, bool withInputs)
        : definition_(std::move(definition)), withInputs_(withInputs) {
        definition_->commandCreated()->add(this);
    }
    ~CommandProbe() { definition_->commandCreated()->remove(this); }

    void notify(const Ptr<core::CommandCreatedEventArgs>& args) override {
        log.push_back("created");
        command = args->command();
        command->execute()->add(&execute_);
        command->destroy()->add(&destroy_);
        command->inputChanged()->add(this);
        command->validateInputs()->add(this);
        if (!withInputs_) return;
        auto tab = command->commandInputs()->addTabCommandInput("tab_1", "Select Printer");
        auto printers = tab->children()->addDropDownCommandInput("printer", "Printer", core::TextListDropDownStyle);
        printers->listItems()->add("P1", true);
        printers->listItems()->add("P2", false);
    }
    void notify(const Ptr<core::InputChangedEventArgs>& args) override {
        log.push_back("inputChanged:" + args->input()->id());
    }
    void notify(const Ptr<core::ValidateInputsEventArgs>& args) override {
        log.push_back("validate");
        args->areInputsValid(inputsValid);
    }

    EventLog log;   // every event
    EventLog ends;  // execute and destroy only
    Ptr<core::Command> command;
    bool inputsValid = true;

private:
    Ptr<core::CommandDefinition> definition_;
    bool withInputs_;
    EndHandler execute_{{&log, &ends}, "execute"};
    EndHandler destroy_{{&log, &ends}, "destroy"};
};

class UiTest : public HostTest {
protected:
    Ptr<core::CommandDefinition> define(const std::string& id) {
        return ui()->commandDefinitions()->addButtonDefinition(id, "Name " + id, "Tip", "resources/");
    }
    Ptr<core::ToolbarPanel> panel(const std::string& id) { return ui()->allToolbarPanels()->itemById(id); }
};

TEST_F(UiTest, ButtonDefinitionIdsAreUnique) {
    auto definition = define("MyCommand");
    ASSERT_TRUE(definition);
    EXPECT_EQ(ui()->commandDefinitions()->itemById("MyCommand"), definition);
    EXPECT_FALSE(define("MyCommand"));
    std::string error;
    EXPECT_EQ(app()->getLastError(&error), core::AlreadyExistsError);
    EXPECT_NE(error.find("MyCommand"), std::string::npos);
    sim::failOperation("CommandDefinitions::addButtonDefinition", 1, "no more commands");
    EXPECT_FALSE(define("Other"));
    app()->getLastError(&error);
    EXPECT_EQ(error, "no more commands");
    EXPECT_TRUE(define("Other"));
}

TEST_F(UiTest, ControlsArePlacedPromotedAndDeletedWithTheirDefinition) {
    auto definition = define("MyCommand");
    auto controls = panel("SolidScriptsAddinsPanel")->controls();
    auto control = controls->addCommand(definition, "", false);
    ASSERT_TRUE(control);
    EXPECT_EQ(control->id(), "MyCommand");
    EXPECT_FALSE(controls->addCommand(definition, "", false)) << "one control per id in a panel";
    Ptr<core::ToolbarControl> asControl = controls->itemById("MyCommand");
    auto commandControl = asControl.query<core::CommandControl>();
    ASSERT_TRUE(commandControl);
    EXPECT_EQ(commandControl->commandDefinition(), definition);
    auto secondDefinition = define("Second");
    auto second = controls->addCommand(secondDefinition, "MyCommand", true);
    EXPECT_EQ(sim::controlIds("SolidScriptsAddinsPanel"), (std::vector<std::string>{"Second", "MyCommand"}));
    EXPECT_EQ(second->index(), 0u);
    EXPECT_TRUE(control->deleteMe());
    EXPECT_FALSE(control->isValid());
    EXPECT_FALSE(control->deleteMe());
    EXPECT_FALSE(controls->itemById("MyCommand"));
    EXPECT_TRUE(definition->isValid()) << "deleting a control keeps its definition";

    ASSERT_TRUE(secondDefinition->deleteMe());
    EXPECT_FALSE(secondDefinition->isValid());
    EXPECT_FALSE(second->isValid()) << "deleting a definition removes its controls";
    EXPECT_TRUE(sim::controlIds("SolidScriptsAddinsPanel").empty());
    EXPECT_FALSE(ui()->commandDefinitions()->itemById("Second"));
}

TEST_F(UiTest, PanelsAreCreatedInTabsWithUniqueIdsAndListedPerWorkspace) {
    auto tab = ui()->allToolbarTabs()->itemById("AdditiveTab");
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->parentWorkspace()->id(), "CAMEnvironment");
    EXPECT_FALSE(panel("StratavoxPanel"));
    auto created = tab->toolbarPanels()->add("StratavoxPanel", "Stratavox", "", true);
    ASSERT_TRUE(created);
    EXPECT_EQ(tab->toolbarPanels()->item(0), created) << "before = true with no position puts it first";
    EXPECT_EQ(panel("StratavoxPanel"), created);
    EXPECT_FALSE(tab->toolbarPanels()->add("StratavoxPanel", "Again", "", true));
    EXPECT_FALSE(ui()->allToolbarTabs()->itemById("SolidTab")->toolbarPanels()->add("StratavoxPanel", "X", "", true))
        << "panel ids are unique across tabs";

    auto workspace = ui()->workspaces()->itemById("CAMEnvironment");
    size_t total = 0;
    for (size_t i = 0; i < workspace->toolbarTabs()->count(); ++i)
        total += workspace->toolbarTabs()->item(i)->toolbarPanels()->count();
    EXPECT_EQ(workspace->toolbarPanels()->count(), total);
    EXPECT_TRUE(workspace->toolbarPanels()->itemById("StratavoxPanel"));
    EXPECT_TRUE(workspace->toolbarPanels()->itemById("CAMAdditiveJobPanel"));
    EXPECT_FALSE(workspace->toolbarPanels()->itemById("SolidCreatePanel")) << "design panels are not in manufacturing";

    created->controls()->addCommand(define("C"), "", false);
    auto control = created->controls()->itemById("C");
    EXPECT_TRUE(created->deleteMe());
    EXPECT_FALSE(control->isValid()) << "a deleted panel takes its controls with it";
    EXPECT_FALSE(panel("StratavoxPanel"));
}

TEST_F(UiTest, TabsAreActivatedPerWorkspaceAndRemovedWithWhatTheyOwn) {
    auto workspace = ui()->workspaces()->itemById("KalvixSolidEnvironment");
    auto tools = workspace->toolbarTabs()->itemById("ToolsTab");
    auto solid = workspace->toolbarTabs()->itemById("SolidTab");
    EXPECT_TRUE(solid->isActive());
    EXPECT_FALSE(tools->isActive());
    EXPECT_TRUE(tools->activate());
    EXPECT_TRUE(tools->isActive());
    EXPECT_FALSE(solid->isActive());
    EXPECT_TRUE(ui()->allToolbarTabs()->itemById("MillingTab")->isActive()) << "the other workspace keeps its own";

    auto tab = sim::findTab("FormTab");
    ASSERT_TRUE(tab);
    auto formPanel = tab->toolbarPanels()->add("3dPrintPanel_Form", "3D Print", "", true);
    auto definition = define("C");
    auto control = formPanel->controls()->addCommand(definition, "", false);
    ASSERT_TRUE(sim::removeTab("FormTab"));
    EXPECT_FALSE(tab->isValid());
    EXPECT_FALSE(formPanel->isValid());
    EXPECT_FALSE(control->isValid());
    EXPECT_FALSE(ui()->allToolbarTabs()->itemById("FormTab"));
    EXPECT_FALSE(panel("3dPrintPanel_Form"));
    EXPECT_TRUE(definition->isValid()) << "definitions belong to the registry, not to the toolbar";
    EXPECT_TRUE(sim::addTab("KalvixSolidEnvironment", "FormTab", "Form"));
    EXPECT_FALSE(sim::addTab("KalvixSolidEnvironment", "SolidTab", "Again"));
}

TEST_F(UiTest, PressingAControlRunsTheCommandFlow) {
    sim::newDocument("A");
    auto definition = define("MyCommand");
    panel("SolidScriptsAddinsPanel")->controls()->addCommand(definition, "", false);
    CommandProbe probe(definition, true);
    ASSERT_TRUE(sim::pressControl("MyCommand"));
    ASSERT_TRUE(probe.command);
    EXPECT_EQ(sim::runningCommandId(), "MyCommand");
    EXPECT_EQ(ui()->activeCommand(), probe.command);
    EXPECT_EQ(sim::dropDownItems("printer"), (std::vector<std::string>{"P1", "P2"}));
    EXPECT_EQ(sim::selectedDropDownItem("printer"), "P1");

    ASSERT_TRUE(sim::pickDropDownItem("printer", "P2"));
    EXPECT_EQ(sim::selectedDropDownItem("printer"), "P2") << "a text list has one selected item";
    auto dropDown = probe.command->commandInputs()->itemById("printer").query<core::DropDownCommandInput>();
    ASSERT_TRUE(dropDown);
    EXPECT_EQ(dropDown->selectedItem()->name(), "P2");
    EXPECT_FALSE(sim::pickDropDownItem("printer", "P3"));

    ASSERT_TRUE(sim::okCommand());
    EXPECT_EQ(probe.log,
              (EventLog{"created", "validate", "inputChanged:printer", "validate", "validate", "execute", "destroy"}));
    EXPECT_FALSE(probe.command->isValid()) << "the command ends with destroy";
    EXPECT_FALSE(sim::runningCommand());
}

TEST_F(UiTest, InvalidInputsKeepTheDialogOpenAndCancelDestroys) {
    CommandProbe probe(define("MyCommand"), true);
    probe.inputsValid = false;
    ASSERT_TRUE(sim::startCommand("MyCommand"));
    EXPECT_FALSE(sim::okCommand());
    EXPECT_TRUE(sim::runningCommand());
    EXPECT_TRUE(probe.ends.empty());
    ASSERT_TRUE(sim::cancelCommand());
    EXPECT_EQ(probe.ends, (EventLog{"destroy"}));
    EXPECT_FALSE(sim::runningCommand());
}

TEST_F(UiTest, CommandWithoutInputsExecutesAtOnceAndANewCommandCancelsTheRunningOne) {
    auto first = define("First");
    auto second = define("Second");
    CommandProbe plain(define("Plain"), false), probeFirst(first, true), probeSecond(second, true);
    ASSERT_TRUE(ui()->commandDefinitions()->itemById("Plain")->execute());
    EXPECT_EQ(plain.ends, (EventLog{"execute", "destroy"}));
    EXPECT_FALSE(sim::runningCommand());

    ASSERT_TRUE(first->execute());
    ASSERT_TRUE(second->execute());
    EXPECT_EQ(probeFirst.ends, (EventLog{"destroy"}));
    EXPECT_EQ(sim::runningCommandId(), "Second");

    auto inputs = probeSecond.command->commandInputs();
    EXPECT_FALSE(inputs->addDropDownCommandInput("printer", "Again", core::TextListDropDownStyle))
        << "input ids are unique within a command, tabs included";
    auto checks = inputs->addDropDownCommandInput("checks", "Checks", core::CheckBoxDropDownStyle);
    checks->listItems()->add("a", true);
    checks->listItems()->add("b", true);
    EXPECT_TRUE(checks->listItems()->item(0)->isSelected()) << "check boxes select independently";
    EXPECT_EQ(inputs->itemById("printer")->parentCommandInput()->id(), "tab_1");
    sim::cancelCommand();
}

TEST_F(UiTest, ControlsCanOnlyBePressedInTheActiveWorkspace) {
    auto created = ui()->allToolbarTabs()->itemById("AdditiveTab")->toolbarPanels()->add("StratavoxPanel", "Stratavox",
                                                                                         "", true);
    auto definition = define("Upload");
    auto control = created->controls()->addCommand(definition, "", false);
    CommandProbe probe(definition, false);
    EXPECT_FALSE(sim::pressControl("Upload"));
    sim::newDocument("A");
    ASSERT_TRUE(sim::activateWorkspace("CAMEnvironment"));
    control->isVisible(false);
    EXPECT_FALSE(sim::pressControl("Upload"));
    EXPECT_TRUE(probe.log.empty());
    control->isVisible(true);
    EXPECT_TRUE(sim::pressControl("Upload"));
    ASSERT_FALSE(probe.log.empty());
    EXPECT_EQ(probe.log.front(), "created");
}

TEST_F(UiTest, MessageBoxesAndFileDialogsAreRecordedAndAnsweredByScript) {
    EXPECT_EQ(ui()->messageBox("Hello"), core::DialogOK);
    sim::answerNextMessageBox(core::DialogNo);
    EXPECT_EQ(ui()->messageBox("Sure?", "Question", core::YesNoButtonType, core::QuestionIconType), core::DialogNo);
    EXPECT_EQ(ui()->messageBox("Again"), core::DialogOK);
    auto boxes = sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1].text, "Sure?");
    EXPECT_EQ(boxes[1].title, "Question");
    EXPECT_EQ(boxes[1].buttons, core::YesNoButtonType);
    EXPECT_EQ(boxes[1].icon, core::QuestionIconType);
    EXPECT_EQ(boxes[0].title, "");
    sim::clearMessageBoxes();
    EXPECT_TRUE(sim::messageBoxes().empty());

    auto dialog = ui()->createFileDialog();
    dialog->setFilter("Postprocessor files (*.cps)");
    dialog->setInitialDirectory("/posts");
    EXPECT_EQ(dialog->showOpen(), core::DialogCancel) << "without an answer the user cancels";
    EXPECT_EQ(dialog->fileName(), "");
    sim::answerNextFileDialog(core::DialogOK, {"/posts/a.cps", "/posts/b.cps"});
    EXPECT_EQ(dialog->showOpen(), core::DialogOK);
    EXPECT_EQ(dialog->fileNames(), (std::vector<std::string>{"/posts/a.cps"})) << "single selection";
    auto dialogs = sim::fileDialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].filter, "Postprocessor files (*.cps)");
    EXPECT_EQ(dialogs[1].initialDirectory, "/posts");
}

class PaletteProbe : public core::HTMLEventHandler, public core::NavigationEventHandler {
public:
    void notify(const Ptr<core::HTMLEventArgs>& args) override {
        log.push_back("html:" + args->action() + ":" + args->data());
        args->returnData("ok");
    }
    void notify(const Ptr<core::NavigationEventArgs>& args) override { log.push_back("nav:" + args->url()); }
    EventLog log;
};

TEST_F(UiTest, PalettesExchangeMessagesAndReportNavigationsLater) {
    auto palettes = ui()->palettes();
    auto palette = palettes->addPalette("P", "Title", "https://example.test/start", true, true, true, 800, 800, true);
    ASSERT_TRUE(palette);
    EXPECT_FALSE(palettes->addPalette("P", "Again", "", true, true, true, 1, 1, true));
    PaletteProbe probe;
    palette->htmlEvent()->add(&probe);
    palette->navigationEvent()->add(&probe);
    EXPECT_TRUE(probe.log.empty()) << "the first navigation is reported through the event queue";
    sim::pump();
    EXPECT_EQ(probe.log, (EventLog{"nav:https://example.test/start"}));
    EXPECT_EQ(sim::sendFromPage("P", "apploaded", "{}"), "ok");
    ASSERT_TRUE(palette->setPageURL("resources_html/index.html"));
    EXPECT_EQ(palette->pageURL(), "resources_html/index.html");
    sim::pump();
    EXPECT_EQ(probe.log, (EventLog{"nav:https://example.test/start", "html:apploaded:{}",
                                   "nav:resources_html/index.html"}));
    palette->sendToPage("navigate", "{\"target\":\"uploadform\"}");
    ASSERT_EQ(sim::messagesToPage("P").size(), 1u);
    EXPECT_EQ(sim::messagesToPage("P")[0].action, "navigate");
    EXPECT_TRUE(palette->setDockingState(core::PaletteDockStateRight));
    EXPECT_FALSE(palette->setDockingState(9));
    sim::navigatePalette("P", "https://example.test/late");
    EXPECT_TRUE(palette->deleteMe());
    sim::pump();
    EXPECT_EQ(probe.log.back(), "nav:resources_html/index.html") << "a navigation queued at deletion is dropped";
    EXPECT_FALSE(palettes->itemById("P"));
    EXPECT_FALSE(palette->setPageURL("x"));
}

TEST_F(UiTest, ActiveViewSavesAJpegThumbnail) {
    EXPECT_FALSE(app()->activeView()) << "no document, no view";
    sim::newDocument("A");
    auto view = app()->activeView();
    ASSERT_TRUE(view);
    const std::string path = tempPath(".jpg");
    ASSERT_TRUE(view->saveImage(path, 80, 60));
    EXPECT_EQ(testing_support::readWholeFile(path).substr(0, 3), "\xFF\xD8\xFF");
    std::remove(path.c_str());
    EXPECT_FALSE(view->saveImage("/nonexistent-dir/t.jpg", 80, 60));
}

}  // namespace
}  // namespace hosttest
