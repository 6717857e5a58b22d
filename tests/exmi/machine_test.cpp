// Machine definitions (which host machines they serve) and the lifecycle of
// a machine instance, with a real command that the instance runs while
// active, against the simulated host.
#include <gtest/gtest.h>

#include <memory>

#include "exmi/command_base.h"
#include "exmi/extensible_machine.h"
#include "host/core.h"
#include "simhost/sim/host.h"
#include "tests/exmi/log_reader.h"
#include "tests/exmi/recording_machine.h"

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
        {byId, "Svx-Printer-One", "", 7, true},
        {byId, "svx-printer-two", "Other", 0, false},
        {byVendor, "any", "Stratavox", 0, true},
        {byVendor, "any", "stratavox", 0, false},
        {byVendor, "Stratavox", "Other", 0, false},
        {byTechnology, "any", "Other", 6, true},
        {byTechnology, "any", "Other", 0, false},
        {all, "ID-A", "x", 0, true},
        {all, "id-b", "Stratavox", 0, true},
        {all, "id-b", "x", 3, true},
        {all, "id-b", "x", 4, false},
        {empty, "", "", 0, false},
        {empty, "id", "Stratavox", 7, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.definition.matches(c.id, c.vendor, c.technology), c.matches)
            << c.id << " / " << c.vendor << " / " << c.technology;
    }
}

// A command that shows the instance's commands really reach the host.
class PanelCommand : public EXMI::CommandBase {
public:
    PanelCommand() : EXMI::CommandBase("ExmiTestMachineCommand", info()) {}
    static EXMI::CommandInfo info() {
        EXMI::CommandInfo info;
        info.name = "Machine command";
        info.panelId = "SolidScriptsAddinsPanel";
        return info;
    }
};

class MachineInstanceTest : public ::testing::Test {
protected:
    MachineInstanceTest() : journal(std::make_shared<Journal>()) {}

    bool controlPresent() {
        auto panel =
            qrvn::core::Application::get()->userInterface()->allToolbarPanels()->itemById("SolidScriptsAddinsPanel");
        return static_cast<bool>(panel->controls()->itemById("ExmiTestMachineCommand"));
    }

    std::shared_ptr<RecordingMachine> makeMachine(int32_t operationId, bool withCommand) {
        EXMI::MachineDefinition definition = recordingDefinition(journal);
        if (withCommand) definition.commands.push_back(std::make_shared<PanelCommand>());
        return std::make_shared<RecordingMachine>(journal, "u1", operationId, definition);
    }

    LogFile log;
    qrvn::sim::Session host;
    std::shared_ptr<Journal> journal;
};

TEST_F(MachineInstanceTest, ActivateRunsCommandsOnceAndDeactivateStopsThem) {
    auto machine = makeMachine(12, true);
    EXPECT_EQ(log.since(), (std::vector<Entry>{{"IExtensibleMachine::IExtensibleMachine",
                                                "ExtensibleMachine \"u1/12\" is being created"}}));
    EXPECT_FALSE(machine->isActive());
    EXPECT_FALSE(controlPresent());

    log.mark();
    machine->activate();
    machine->activate();
    EXPECT_TRUE(machine->isActive());
    EXPECT_TRUE(controlPresent());
    EXPECT_EQ(journal->callsOf("onActivate"), std::vector<std::string>{"u1/12"});
    EXPECT_EQ(only(log.since(), {"IExtensibleMachine::activate", "IExtensibleMachine::onActivate"}),
              (std::vector<Entry>{{"IExtensibleMachine::activate", "ExtensibleMachine \"u1/12\" is being activated"},
                                  {"IExtensibleMachine::onActivate", "u1/12"},
                                  {"IExtensibleMachine::activate", "ExtensibleMachine \"u1/12\" is being activated"}}));

    log.mark();
    machine->deactivate();
    EXPECT_FALSE(machine->isActive());
    EXPECT_FALSE(controlPresent());
    EXPECT_EQ(log.since(), (std::vector<Entry>{
                               {"IExtensibleMachine::deactivate", "ExtensibleMachine \"u1/12\" is being deactivated"},
                               {"IExtensibleMachine::onDeactivate", "u1/12"}}));

    // Deactivating an inactive instance does nothing, not even a log line;
    // destroying it only calls beforeDestroy. Without its document there is no setup.
    log.mark();
    machine->deactivate();
    EXPECT_TRUE(log.since().empty());
    EXPECT_EQ(journal->callsOf("onDeactivate").size(), 1u);
    EXPECT_FALSE(machine->getSetup());
    machine->destroy();
    EXPECT_EQ(log.since(), (std::vector<Entry>{{"IExtensibleMachine::beforeDestroy", "u1/12"}}));
    EXPECT_EQ(journal->callsOf("beforeDestroy"), std::vector<std::string>{"u1/12"});
}

TEST_F(MachineInstanceTest, ChangeKeepsTheStateAndDestroyOfActiveStopsCommandsSilently) {
    auto machine = makeMachine(5, true);
    machine->activate();
    log.mark();
    machine->change();
    EXPECT_TRUE(machine->isActive());
    EXPECT_EQ(log.since(),
              (std::vector<Entry>{{"IExtensibleMachine::change", "ExtensibleMachine \"u1/5\" is being changed"},
                                  {"IExtensibleMachine::onChange", "u1/5"}}));

    log.mark();
    machine->destroy();
    EXPECT_FALSE(machine->isActive());
    EXPECT_FALSE(controlPresent());
    EXPECT_TRUE(journal->callsOf("onDeactivate").empty());
    EXPECT_EQ(log.since(), (std::vector<Entry>{{"IExtensibleMachine::beforeDestroy", "u1/5"}}));
    EXPECT_EQ(journal->destroyed, 0);

    log.mark();
    machine.reset();
    EXPECT_EQ(journal->destroyed, 1);
    EXPECT_EQ(log.since(), (std::vector<Entry>{{"IExtensibleMachine::~IExtensibleMachine",
                                                "ExtensibleMachine \"u1/5\" is being destroyed"}}));
}

}  // namespace
}  // namespace exmi_test
