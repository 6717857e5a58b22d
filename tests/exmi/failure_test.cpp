// Failures at the framework's edges: host events without arguments, missing
// host objects, failing machine hooks, and a failed run
// followed by stop and destruction. Each is logged as one line and nothing
// reaches the host; a framework that is gone leaves no handler behind.
#include "tests/exmi/framework_fixture.h"

namespace exmi_test {
namespace {

TEST_F(FrameworkTest, HostEventsWithoutArgumentsAreLoggedAndContained) {
    Document a = camDocument("Part A");
    start();
    Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    Ptr<qrvn::cam::CAM> cam = support::getCamProduct(a);
    log.mark();
    app->documentOpened()->fire(nullptr);
    app->documentActivating()->fire(nullptr);
    app->userInterface()->workspaceActivated()->fire(nullptr);
    cam->setupCreated()->fire(nullptr);
    cam->setupChanged()->fire(nullptr);
    EXPECT_EQ(log.since(), (std::vector<Entry>{
                               {"EXMIDocumentEventHandler::notify", "Failed Invalid DocumentEventArgs"},
                               {"EXMIDocumentEventHandler::notify", "Failed Invalid DocumentEventArgs"},
                               {"EXMIWorkspaceEventHandler::notify", "Failed Invalid WorkspaceEventArgs"},
                               {"EXMISetupEventHandler::notify", "starting"},
                               {"EXMISetupEventHandler::notify", "Failed Invalid SetupEventArgs"},
                               {"EXMISetupChangeEventHandler::notify", "starting"},
                               {"EXMISetupChangeEventHandler::notify", "Failed Invalid SetupEventArgs"},
                           }));

    // Arguments without their document or setup are refused by each handler.
    log.mark();
    app->documentOpened()->fire(
        Ptr<qrvn::core::DocumentEventArgs>(std::make_shared<qrvn::core::DocumentEventArgs>(nullptr)));
    app->documentCreated()->fire(
        Ptr<qrvn::core::DocumentEventArgs>(std::make_shared<qrvn::core::DocumentEventArgs>(nullptr)));
    app->documentClosing()->fire(
        Ptr<qrvn::core::DocumentEventArgs>(std::make_shared<qrvn::core::DocumentEventArgs>(nullptr)));
    cam->setupDestroying()->fire(Ptr<qrvn::cam::SetupEventArgs>(std::make_shared<qrvn::cam::SetupEventArgs>(nullptr)));
    EXPECT_EQ(log.since(), (std::vector<Entry>{
                               {"DocumentOpenedHandler::safeNotify", "Invalid document."},
                               {"Document created", ""},
                               {"DocumentClosingHandler::safeNotify", "Invalid document."},
                               {"EXMISetupEventHandler::notify", "starting"},
                               {"MySetupDestroyingHandler::safeNotify", "Invalid setupToDestroy."},
                           }));
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
}

TEST_F(FrameworkTest, MissingHostObjectsFailTheHandlerOnly) {
    Document a = camDocument("Part A");
    qrvn::sim::addSetup(a, "Print 1", svxOne);
    Document b = qrvn::sim::newDocument("Part B");
    start();
    const size_t created = journal->callsOf("create").size();

    // No setup collection while the document is activated: the handler logs
    // the failure; what it did before (the "activated" line) stays done.
    qrvn::sim::failOperation("CAM::setups", 1);
    log.mark();
    ASSERT_TRUE(qrvn::sim::activateDocument(a));
    EXPECT_EQ(log.countSince({"EXMIDocumentEventHandler::notify", "Failed std::exception"}), 1u);
    EXPECT_EQ(
        log.countSince({"DocumentActivatedHandler::safeNotify", "Document activated: Part A; EXMI-UUID=" + uuidOf(a)}),
        1u);

    // A machine without capabilities cannot be matched.
    qrvn::sim::failOperation("Machine::capabilities", 1);
    log.mark();
    ASSERT_TRUE(qrvn::sim::addSetup(a, "Print 2", svxTwo));
    EXPECT_EQ(log.countSince({"EXMISetupEventHandler::notify", "Failed std::exception"}), 1u);
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
    // Later events for the same setup are handled again as usual.
    EXPECT_EQ(journal->callsOf("create").size(), created);
    qrvn::sim::clearFailures();
    ASSERT_TRUE(qrvn::sim::activateDocument(b));
    ASSERT_TRUE(qrvn::sim::activateDocument(a));
    EXPECT_EQ(journal->callsOf("create").size(), created + 1);
}

TEST_F(FrameworkTest, FailingHooksAreLoggedByTheEventHandler) {
    Document a = camDocument("Part A");
    start();
    journal->failIn = "onActivate";
    log.mark();
    CamSetup print = qrvn::sim::addSetup(a, "Print 1", svxOne);
    EXPECT_EQ(log.countSince({"EXMISetupEventHandler::notify", "Failed onActivate failed"}), 1u);

    journal->failIn = "onChange";
    log.mark();
    ASSERT_TRUE(print->name("Print 1b"));
    const std::vector<Entry> lines = log.since();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), (Entry{"EXMISetupChangeEventHandler::notify", "Failed onChange failed"}));
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());

    // The registry is intact: the instance is still there and still served.
    journal->failIn.clear();
    ASSERT_EQ(impl().getInstances().size(), 1u);
    ASSERT_TRUE(print->deleteMe());
    EXPECT_TRUE(impl().getInstances().empty());
    EXPECT_EQ(journal->destroyed, 1);
}

TEST_F(FrameworkTest, FailedRunThenStopThenDestructionLeaveNothingAttached) {
    Document a = camDocument("Part A");
    CamSetup print = qrvn::sim::addSetup(a, "Print 1", svxOne);
    Document b = qrvn::sim::newDocument("Part B");
    journal->failIn = "onActivate";
    start();
    const std::string path = uuidOf(a) + "/" + std::to_string(print->operationId());
    const std::vector<Entry> started = log.entries();
    ASSERT_FALSE(started.empty());
    EXPECT_EQ(started.back(), (Entry{"EXMI::run", "Failed onActivate failed"}));
    // The second document was never reached, the heartbeat never started.
    EXPECT_EQ(uuidOf(b), "");
    EXPECT_EQ(only(started, {"HeartBeat::start", "EXMI"}), std::vector<Entry>{});
    EXPECT_EQ(setupHandlerCount(a), 7u);
    EXPECT_EQ(documentHandlerCount(), 7u);

    log.mark();
    framework->stop();
    EXPECT_EQ(log.since(), (std::vector<Entry>{{"EXMI", "Stopping EXMI AddIn: Stratavox AddIn"},
                                               {"HeartBeat::stop", "Stopping Heart Beat"},
                                               {"EXMI::stop", "Failed Invalid argument"}}));
    // The failed stop left the handlers attached ...
    EXPECT_EQ(documentHandlerCount(), 7u);

    log.mark();
    framework.reset();
    // ... until the framework went; its instance went straight to its destructor.
    EXPECT_EQ(log.since(), (std::vector<Entry>{{"EXMI::~EXMI", "---"},
                                               {"IExtensibleMachine::~IExtensibleMachine",
                                                "ExtensibleMachine \"" + path + "\" is being destroyed"}}));
    EXPECT_EQ(journal->destroyed, 1);
    EXPECT_EQ(documentHandlerCount(), 0u);
    EXPECT_EQ(setupHandlerCount(a), 0u);

    // The host goes on: no event reaches a handler of the framework (under
    // AddressSanitizer one would be a use after free).
    log.mark();
    journal->failIn.clear();
    ASSERT_TRUE(qrvn::sim::activateDocument(a));
    ASSERT_TRUE(print->name("Renamed"));
    ASSERT_TRUE(qrvn::sim::addSetup(a, "Print 2", svxTwo));
    ASSERT_TRUE(qrvn::sim::activateWorkspace("CAMEnvironment"));
    qrvn::sim::newDocument("Part C");
    ASSERT_TRUE(qrvn::sim::closeDocument(a));
    qrvn::sim::pump();
    EXPECT_TRUE(log.since().empty());
    EXPECT_TRUE(journal->calls.size() == 2u) << "only the creation and the failed activation";
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
}

TEST_F(FrameworkTest, DefinitionsWithoutFactoryOrWithoutResult) {
    Document a = camDocument("Part A");
    CamSetup print = qrvn::sim::addSetup(a, "Print 1", svxOne);
    EXMI::MachineDefinition none;
    none.name = "Empty factory";
    none.vendors = {"Stratavox"};
    none.factory = [](const std::string&, int32_t, EXMI::MachineDefinition) {
        return std::shared_ptr<EXMI::IExtensibleMachine>();
    };
    EXMI::MachineDefinition missing;
    missing.name = "No factory";
    missing.machineIds = {"SVX-TWO"};
    start({none, missing});
    // A factory that makes nothing gives nothing to manage.
    EXPECT_TRUE(impl().getInstances().empty());
    EXPECT_EQ(log.count({"EXMI", "Started EXMI AddIn: Stratavox AddIn"}), 1u);

    // A matching definition without a factory fails the handler.
    log.mark();
    ASSERT_TRUE(print->machine(svxTwo));
    const std::vector<Entry> lines = log.since();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2],
              (Entry{"EXMIimpl::handlePotentialNewMachine", "Creating new ExtensibleMachine-Instance"}));
    EXPECT_EQ(lines.back(), (Entry{"EXMISetupChangeEventHandler::notify", "Failed std::exception"}));
    EXPECT_TRUE(impl().getInstances().empty());
    framework->stop();
}

class NoApplicationTest : public FrameworkTest {
protected:
    NoApplicationTest() : FrameworkTest(options()) {}
    static qrvn::sim::HostOptions options() {
        qrvn::sim::HostOptions options;
        options.withApplication = false;
        return options;
    }
};

TEST_F(NoApplicationTest, RunAndStopWithoutApplicationOnlyLog) {
    start();
    log.mark();
    framework->stop();
    framework.reset();
    const std::vector<Entry> all = log.entries();
    EXPECT_EQ(log.count({"EXMI::run", "Failed No App available"}), 1u);
    // Stop fails at the heartbeat, which has no application to unregister from.
    EXPECT_EQ(log.count({"EXMI::stop", "Failed std::exception"}), 1u);
    EXPECT_EQ(all.back(), (Entry{"EXMI::~EXMI", "---"}));
}

}  // namespace
}  // namespace exmi_test
