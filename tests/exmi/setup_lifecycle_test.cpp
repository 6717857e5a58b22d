// CAM setups created, changed to machines of other ids and vendors and back,
// activated and destroyed: the registry keeps, replaces and destroys the
// machine instances as their state table says.
#include "exmi/command_base.h"
#include "tests/exmi/framework_fixture.h"

namespace exmi_test {
namespace {

// A command of the vendor definition; its control shows whether the
// instance is active.
class VendorCommand : public EXMI::CommandBase {
public:
    VendorCommand() : EXMI::CommandBase("ExmiVendorCommand", info()) {}
    static EXMI::CommandInfo info() {
        EXMI::CommandInfo info;
        info.name = "Vendor";
        info.panelId = "CAMAdditiveActionPanel";
        info.tabId = "AdditiveTab";
        return info;
    }
};

class SetupLifecycleTest : public FrameworkTest {
protected:
    void SetUp() override {
        a = camDocument("Part A");
        print = qrvn::sim::addSetup(a, "Print 1", svxOne);
        EXMI::MachineDefinition definition = recordingDefinition(journal);
        definition.commands.push_back(std::make_shared<VendorCommand>());
        start({definition});
        path = uuidOf(a) + "/" + std::to_string(print->operationId());
        line = "Setup: \"Print 1\";operationId = " + std::to_string(print->operationId());
    }

    static bool commandShown() {
        return static_cast<bool>(qrvn::sim::findControl("CAMAdditiveActionPanel", "ExmiVendorCommand"));
    }
    const EXMI::MachineInstances& entry() { return impl().getInstances().at(path); }

    Document a;
    CamSetup print;
    std::string path, line;
};

TEST_F(SetupLifecycleTest, ChangeWithTheSameMachineKeepsTheInstanceAndTellsIt) {
    ASSERT_TRUE(commandShown());
    log.mark();
    const size_t mark = journal->calls.size();
    ASSERT_TRUE(print->name("Print 1"));
    const std::string potential = "EXMIimpl::handlePotentialNewMachine";
    const std::string op = std::to_string(print->operationId());
    EXPECT_EQ(
        log.since(),
        (std::vector<Entry>{
            {"EXMISetupChangeEventHandler::notify", "starting"},
            {"MySetupChangedHandler::safeNotify", line + " Machine = " + described(svxOne, false)},
            {potential, ""},
            {potential, "Setup \"Print 1\"; operationId = " + op + "; Machine: " + described(svxOne, true)},
            {potential, "We already have/have had instances for machinePath = \"" + path + "\""},
            {potential, "setup passed is still a machine with id: svx-one, vendor \"Stratavox\" and technology \"0\""},
            {"EXMIimpl::handleChangeEvent", ""},
            {"EXMIimpl::HandleChangeEvent",
             "Setup \"Print 1\"; operationId = " + op + "; Machine: " + described(svxOne, false)},
            {"IExtensibleMachine::change", "ExtensibleMachine \"" + path + "\" is being changed"},
            {"IExtensibleMachine::onChange", path},
        }));
    EXPECT_EQ(callsSince(mark), std::vector<std::string>{"onChange " + path});
}

TEST_F(SetupLifecycleTest, MachineOfAnotherIdSameVendorIsResynchronisedInPlace) {
    log.mark();
    const size_t mark = journal->calls.size();
    ASSERT_TRUE(print->machine(svxTwo));
    const std::vector<Entry> lines = only(log.since(), {"EXMIimpl::handlePotentialNewMachine"});
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(
        std::vector<Entry>(lines.begin() + 2, lines.end()),
        (std::vector<Entry>{
            {"EXMIimpl::handlePotentialNewMachine",
             "We already have/have had instances for machinePath = \"" + path + "\""},
            {"EXMIimpl::handlePotentialNewMachine", "setup has a new machine with different machineId or technology"},
            {"EXMIimpl::handlePotentialNewMachine",
             "New machineid: svx-two, vendor = \"Stratavox\" and technology = \"1\""},
        }));
    // Same instance: no creation, no destruction, only the change.
    EXPECT_EQ(callsSince(mark), std::vector<std::string>{"onChange " + path});
    EXPECT_EQ(entry().machineId, "svx-two");
    EXPECT_EQ(entry().technology, qrvn::cam::SLAMachineTechnology);
    ASSERT_EQ(entry().machines.size(), 1u);
    EXPECT_TRUE(entry().machines[0]->isActive());
    EXPECT_TRUE(commandShown());
}

TEST_F(SetupLifecycleTest, AnotherVendorDestroysTheInstanceAndSwitchingBackMakesANewOne) {
    size_t mark = journal->calls.size();
    log.mark();
    ASSERT_TRUE(print->machine(other));
    EXPECT_EQ(callsSince(mark), std::vector<std::string>{"beforeDestroy " + path});
    EXPECT_EQ(journal->destroyed, 1);
    EXPECT_EQ(log.count({"IExtensibleMachine::deactivate", "ExtensibleMachine \"" + path + "\" is being deactivated"}),
              0u);
    EXPECT_FALSE(commandShown());
    // The entry stays, empty, with the new machine.
    EXPECT_TRUE(entry().machines.empty());
    EXPECT_EQ(entry().machineId, "oth-one");
    EXPECT_EQ(entry().vendor, "Otherco");

    mark = journal->calls.size();
    ASSERT_TRUE(print->machine(svxOne));
    EXPECT_EQ(callsSince(mark), (std::vector<std::string>{"create " + path, "onActivate " + path, "onChange " + path}));
    ASSERT_EQ(entry().machines.size(), 1u);
    EXPECT_TRUE(entry().machines[0]->isActive());
    EXPECT_TRUE(commandShown());

    mark = journal->calls.size();
    ASSERT_TRUE(print->deleteMe());
    EXPECT_EQ(callsSince(mark), std::vector<std::string>{"beforeDestroy " + path});
    EXPECT_EQ(journal->destroyed, 2);
    EXPECT_TRUE(impl().getInstances().empty());
    EXPECT_FALSE(commandShown());
}

TEST_F(SetupLifecycleTest, UnservedMachineGetsNoEntrySwitchingOnlyLogsAndAnInactiveSetupStaysInactive) {
    CamSetup foreign = qrvn::sim::addSetup(a, "Print 2", other);
    const std::string foreignPath = uuidOf(a) + "/" + std::to_string(foreign->operationId());
    const Entry noInstances{"EXMIimpl::handlePotentialNewMachine",
                            "we don't have instances for this machinePath: " + foreignPath};
    EXPECT_EQ(log.count(noInstances), 1u);
    EXPECT_EQ(impl().getInstances().count(foreignPath), 0u);
    // The new setup is active, so the first one's instance went inactive.
    EXPECT_FALSE(entry().machines[0]->isActive());
    EXPECT_FALSE(commandShown());

    ASSERT_TRUE(foreign->name("Print 2b"));
    EXPECT_EQ(log.count(noInstances), 2u);

    // Switching setups: the activation handlers only log their setups.
    const std::string line2 = "Setup: \"Print 2b\";operationId = " + std::to_string(foreign->operationId());
    log.mark();
    ASSERT_TRUE(print->activate());
    EXPECT_EQ(only(log.since(), {"MySetupActivatingHandler::safeNotify", "MySetupDeactivatedHandler::safeNotify",
                                 "MySetupDeactivatingHandler::safeNotify", "MySetupActivatedHandler::safeNotify"}),
              (std::vector<Entry>{
                  {"MySetupDeactivatingHandler::safeNotify", line2},
                  {"MySetupActivatingHandler::safeNotify", line},
                  {"MySetupDeactivatedHandler::safeNotify", line2},
                  {"MySetupActivatedHandler::safeNotify", line + " Machine = " + described(svxOne, false)},
              }));

    // Given a vendor machine while another setup is active: the instance is
    // made but stays inactive until its setup is activated.
    const size_t mark = journal->calls.size();
    ASSERT_TRUE(foreign->machine(svxTwo));
    EXPECT_EQ(callsSince(mark), (std::vector<std::string>{"create " + foreignPath, "onChange " + foreignPath}));
    EXPECT_FALSE(impl().getInstances().at(foreignPath).machines[0]->isActive());
    ASSERT_TRUE(foreign->activate());
    EXPECT_TRUE(impl().getInstances().at(foreignPath).machines[0]->isActive());
    EXPECT_FALSE(entry().machines[0]->isActive());
}

TEST_F(SetupLifecycleTest, SetupThatLosesItsMachineLosesItsInstance) {
    log.mark();
    ASSERT_TRUE(print->machine(nullptr));
    const std::string op = std::to_string(print->operationId());
    EXPECT_EQ(log.countSince({"MySetupChangedHandler::safeNotify", line + " Machine = "}), 1u);
    EXPECT_EQ(log.countSince(
                  {"EXMIimpl::handlePotentialNewMachine", "Setup \"Print 1\"; operationId = " + op + "; Machine: "}),
              1u);
    EXPECT_EQ(journal->callsOf("beforeDestroy"), std::vector<std::string>{path});
    EXPECT_TRUE(entry().machines.empty());
    EXPECT_EQ(entry().machineId, "");
    EXPECT_FALSE(commandShown());
}

}  // namespace
}  // namespace exmi_test
