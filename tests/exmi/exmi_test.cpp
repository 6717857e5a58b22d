// Machine definitions and EXMI::CommandBase against the simulated host: which
// host machines a definition serves, and the command's registration in a panel
// (created in its tab when missing), tooltip, removal, five handlers and how
// its failures reach the user or the log.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "exmi/command_base.h"
#include "exmi/extensible_machine.h"
#include "host/core.h"
#include "simhost/sim/host.h"
#include "simhost/sim/ui.h"
#include "tests/exmi/log_reader.h"

namespace exmi_test {
namespace {

using qrvn::core::Ptr;

TEST(MachineDefinitionTest, MatchesByIdIgnoringCaseThenVendorExactlyThenTechnologyAndEmptyMatchesNothing) {
    EXMI::MachineDefinition byId, byVendor, byTechnology, all;
    byId.machineIds = {"SVX-PRINTER-ONE"};
    byVendor.vendors = {"Stratavox"};
    byTechnology.technologies = {1, 6};
    // Any one of the three lists is enough.
    all.machineIds = {"id-a"};
    all.vendors = {"Stratavox"};
    all.technologies = {3};
    const EXMI::MachineDefinition empty;
    const struct {
        const EXMI::MachineDefinition& definition;
        const char* id;
        const char* vendor;
        int technology;
        bool matches;
    } cases[] = {
        {byId, "svx-printer-one", "Other", 0, true},
        {byId, "svx-printer-two", "Other", 0, false},
        {byVendor, "any", "Stratavox", 0, true},
        {byVendor, "any", "stratavox", 0, false},
        {byTechnology, "any", "Other", 6, true},
        {byTechnology, "any", "Other", 0, false},
        {all, "id-b", "Stratavox", 0, true},
        {all, "id-b", "x", 3, true},
        {all, "id-b", "x", 4, false},
        {empty, "id", "Stratavox", 7, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.definition.matches(c.id, c.vendor, c.technology), c.matches)
            << c.id << " / " << c.vendor << " / " << c.technology;
    }
}

// Records which operations the host reached; one of them may fail.
class ProbeCommand : public EXMI::CommandBase {
public:
    ProbeCommand(const std::string& id, const EXMI::CommandInfo& info) : EXMI::CommandBase(id, info) {}
    std::vector<std::string> calls;
    std::string failIn;

    void onCreate() override { record("onCreate"); }
    void onDestroy() override { record("onDestroy"); }
    void onPreview() override { record("onPreview"); }
    void onInputChanged() override { record("onInputChanged"); }
    void onExecute() override { record("onExecute"); }

private:
    void record(const std::string& what) {
        calls.push_back(what);
        if (failIn == what) throw std::runtime_error(what + " broke");
    }
};

// A command with a dialog: onCreate adds a drop-down to the running command.
class DialogCommand : public ProbeCommand {
public:
    using ProbeCommand::ProbeCommand;
    void onCreate() override {
        ProbeCommand::onCreate();
        Ptr<qrvn::core::Command> running = qrvn::core::Application::get()->userInterface()->activeCommand();
        auto list =
            running->commandInputs()->addDropDownCommandInput("choice", "Choice", qrvn::core::TextListDropDownStyle);
        list->listItems()->add("first", true);
        list->listItems()->add("second", false);
    }
};

EXMI::CommandInfo infoFor(const std::string& panelId, const std::string& tabId = "ToolsTab") {
    EXMI::CommandInfo info;
    info.name = "Probe";
    info.tooltip = "Does <b>things</b>";
    info.panelId = panelId;
    info.tabId = tabId;
    info.panelName = "Probe Panel";
    info.resourceFolder = "resources_probe/";
    return info;
}

class CommandTest : public ::testing::Test {
protected:
    LogFile log;
    qrvn::sim::Session host;
};

TEST_F(CommandTest, RunCreatesTheMissingPanelASecondRunOnlyPromotesStopKeepsThePanelAndDestructionRemovesAll) {
    Ptr<qrvn::core::CommandDefinition> definition;
    ASSERT_FALSE(qrvn::sim::findPanel("ExmiProbePanel"));
    {
        EXMI::CommandInfo info = infoFor("ExmiProbePanel", "ToolsTab");
        info.tooltipImage = "C:\\icons\\tip image.png";
        ProbeCommand command("ExmiProbeRun", info);
        command.run();
        Ptr<qrvn::core::ToolbarPanel> panel = qrvn::sim::findPanel("ExmiProbePanel");
        ASSERT_TRUE(panel);
        EXPECT_EQ(panel->name(), "Probe Panel");
        EXPECT_EQ(panel->parentTab()->id(), "ToolsTab");
        Ptr<qrvn::core::CommandControl> control = qrvn::sim::findControl("ExmiProbePanel", "ExmiProbeRun");
        ASSERT_TRUE(control);
        definition = qrvn::sim::findDefinition("ExmiProbeRun");
        // A tooltip with an image leads with the image.
        EXPECT_EQ(definition->tooltip(),
                  " < img src = \"file:///C:\\icons\\tip image.png\"><p>Does <b>things</b><br><br>");

        control->isPromoted(false);
        control->isPromotedByDefault(false);
        const size_t definitions = qrvn::sim::definitionIds().size();
        command.run();
        EXPECT_TRUE(control->isPromoted());
        EXPECT_TRUE(control->isPromotedByDefault());
        EXPECT_EQ(qrvn::sim::definitionIds().size(), definitions);
        EXPECT_EQ(qrvn::sim::panelsWithControl("ExmiProbeRun"), std::vector<std::string>{"ExmiProbePanel"});
        EXPECT_EQ(definition->commandCreated()->handlerCount(), 1u);

        command.stop();
        EXPECT_TRUE(qrvn::sim::findPanel("ExmiProbePanel"));
        EXPECT_TRUE(qrvn::sim::controlIds("ExmiProbePanel").empty());
        EXPECT_FALSE(definition->isValid());

        // Available again after stop.
        command.run();
        definition = qrvn::sim::findDefinition("ExmiProbeRun");
        EXPECT_EQ(qrvn::sim::controlIds("ExmiProbePanel"), std::vector<std::string>{"ExmiProbeRun"});
    }
    // Gone with the command object: button, definition and handler.
    EXPECT_FALSE(qrvn::sim::findDefinition("ExmiProbeRun"));
    EXPECT_TRUE(qrvn::sim::panelsWithControl("ExmiProbeRun").empty());
    EXPECT_FALSE(definition->isValid());
    EXPECT_EQ(definition->commandCreated()->handlerCount(), 0u);
}

TEST_F(CommandTest, FailuresOfRunAndStopAreShownNotLoggedAndADuplicateIdIsOnlyWarned) {
    ProbeCommand nowhere("ExmiProbeNowhere", infoFor("NoSuchPanel", "NoSuchTab"));
    log.mark();
    nowhere.run();
    ASSERT_EQ(qrvn::sim::messageBoxes().size(), 1u);
    const qrvn::sim::MessageBox box = qrvn::sim::messageBoxes()[0];
    EXPECT_EQ(box.text, "Error in CommandBase::run(): Could not find ToolbarPanelID \"NoSuchPanel\"");
    EXPECT_EQ(box.title, "");
    EXPECT_FALSE(qrvn::sim::findDefinition("ExmiProbeNowhere"));

    qrvn::sim::clearMessageBoxes();
    ProbeCommand command("ExmiProbeTwice", infoFor("SolidScriptsAddinsPanel"));
    qrvn::sim::failOperation("CommandDefinitions::addButtonDefinition", 1);
    command.run();
    ASSERT_EQ(qrvn::sim::messageBoxes().size(), 1u);
    EXPECT_EQ(qrvn::sim::messageBoxes()[0].text, "Error in CommandBase::run(): Could not create command!");
    EXPECT_TRUE(qrvn::sim::panelsWithControl("ExmiProbeTwice").empty());

    command.run();
    ASSERT_TRUE(qrvn::sim::findControl("SolidScriptsAddinsPanel", "ExmiProbeTwice"));
    qrvn::sim::clearMessageBoxes();
    qrvn::sim::failOperation("UserInterface::allToolbarPanels", 1);
    command.stop();
    ASSERT_EQ(qrvn::sim::messageBoxes().size(), 1u);
    EXPECT_EQ(qrvn::sim::messageBoxes()[0].text.rfind("Error in CommandBase::stop(): ", 0), 0u);
    // Nothing was removed by the failed stop.
    EXPECT_TRUE(qrvn::sim::findControl("SolidScriptsAddinsPanel", "ExmiProbeTwice"));
    EXPECT_TRUE(log.since().empty());

    // A second command with a running one's id is only a warning for developers.
    ProbeCommand twice("ExmiProbeTwice", infoFor("SolidScriptsAddinsPanel"));
    EXPECT_EQ(log.since(),
              (std::vector<Entry>{{"Warning for developers in CommandBase::postCreate()",
                                   "CommandId \"ExmiProbeTwice\" is already in use. You might experience "
                                   "inconsistent behaviour with this command. Choose a unique ID to resolve "
                                   "this."}}));
}

TEST_F(CommandTest, PressingTheButtonRoutesEveryEventToTheCommandAndContainsItsFailures) {
    ProbeCommand command("ExmiProbePress", infoFor("SolidScriptsAddinsPanel"));
    command.run();
    ASSERT_TRUE(qrvn::sim::pressControl("ExmiProbePress"));
    // Without inputs the host executes and destroys the command at once;
    // each run gets its handlers anew, and only once.
    ASSERT_TRUE(qrvn::sim::pressControl("ExmiProbePress"));
    EXPECT_EQ(command.calls,
              (std::vector<std::string>{"onCreate", "onExecute", "onDestroy", "onCreate", "onExecute", "onDestroy"}));

    // A failing operation is one log line, no message box.
    command.failIn = "onExecute";
    log.mark();
    ASSERT_TRUE(qrvn::sim::pressControl("ExmiProbePress"));
    EXPECT_EQ(log.countSince({"CommandExecuteHandler::notify", "Failed onExecute broke"}), 1u);
    EXPECT_TRUE(qrvn::sim::messageBoxes().empty());
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());

    // The base class's own operations write their placeholder lines.
    EXMI::CommandBase plain("ExmiProbeDefault", infoFor("SolidScriptsAddinsPanel"));
    plain.run();
    log.mark();
    ASSERT_TRUE(qrvn::sim::pressControl("ExmiProbeDefault"));
    EXPECT_EQ(log.countSince({"CommandBase::onExecute", "..."}), 2u);
    EXPECT_EQ(log.countSince({"CommandBase::onDestroy", "..."}), 1u);
}

TEST_F(CommandTest, DialogEventsReachTheCommandUntilTheCommandObjectIsGone) {
    auto command = std::make_unique<DialogCommand>("ExmiProbeDialog", infoFor("SolidScriptsAddinsPanel"));
    command->run();
    ASSERT_TRUE(qrvn::sim::pressControl("ExmiProbeDialog"));
    EXPECT_EQ(command->calls, (std::vector<std::string>{"onCreate", "onPreview"}));
    ASSERT_TRUE(qrvn::sim::pickDropDownItem("choice", "second"));
    EXPECT_EQ(command->calls, (std::vector<std::string>{"onCreate", "onPreview", "onInputChanged", "onPreview"}));
    ASSERT_TRUE(qrvn::sim::okCommand());
    EXPECT_EQ(command->calls, (std::vector<std::string>{"onCreate", "onPreview", "onInputChanged", "onPreview",
                                                        "onExecute", "onDestroy"}));

    // Gone while its dialog is open: no handler is left behind.
    ASSERT_TRUE(qrvn::sim::pressControl("ExmiProbeDialog"));
    Ptr<qrvn::core::Command> running = qrvn::sim::runningCommand();
    ASSERT_TRUE(running);
    EXPECT_EQ(running->execute()->handlerCount(), 1u);
    command.reset();
    EXPECT_EQ(running->execute()->handlerCount() + running->destroy()->handlerCount() +
                  running->inputChanged()->handlerCount() + running->executePreview()->handlerCount(),
              0u);
    // Under AddressSanitizer a handler left behind would be a use after free.
    qrvn::sim::pickDropDownItem("choice", "second");
    qrvn::sim::cancelCommand();
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
}

}  // namespace
}  // namespace exmi_test
