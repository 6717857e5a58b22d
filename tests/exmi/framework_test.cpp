// The running framework against the simulated host: start-up with open
// documents, stop, and the host's document and workspace events driving the
// machine instance registry.
#include "tests/exmi/framework_fixture.h"

namespace exmi_test {
namespace {

const std::vector<std::string> kHandlerSources = {
    "DocumentOpenedHandler::safeNotify",    "DocumentCreatedHandler::safeNotify",
    "DocumentActivatedHandler::safeNotify", "DocumentDeactivatingHandler::safeNotify",
    "DocumentClosingHandler::safeNotify",   "CAMWorkspaceActivatedEventHandler::safeNotify"};

TEST_F(FrameworkTest, StartupManagesOpenDocumentsAndStopReleasesThem) {
    Document a = camDocument("Part A");
    CamSetup print = qrvn::sim::addSetup(a, "Print 1", svxOne);
    Document b = qrvn::sim::newDocument("Part B");

    start();
    const std::string ua = uuidOf(a), ub = uuidOf(b);
    ASSERT_EQ(ua.size(), 32u);
    ASSERT_EQ(ub.size(), 32u);
    EXPECT_NE(ua, ub);
    const std::string path = ua + "/" + std::to_string(print->operationId());
    const std::string potential = "EXMIimpl::handlePotentialNewMachine";
    EXPECT_EQ(log.entries(),
              (std::vector<Entry>{
                  {"EXMI::make", "Creating EXMI"},
                  {"EXMI::EXMI", "---"},
                  {"========", "============"},
                  {"========", "============"},
                  {"EXMI AddIn: Stratavox AddIn", "=== Run EXMI Addin ==="},
                  {"EXMIimpl::registerDocumentHandlers", "Start"},
                  {"EXMIimpl::registerDocumentHandlers", "End"},
                  {"Startup", "Handle Existing Document\ndocument Part A, EXMI-UUID = " + ua},
                  {"registerSetupHandlers", "Register SetupHandlers for document= Part A, EXMIUUID=" + ua},
                  {"EXMIimpl::registerSetupHandlers", "Registration successfull"},
                  {"EXMIimpl::ensureExtensibleMachineInstances", "Document \"Part A\" has 1 setups.."},
                  {potential, ""},
                  {potential, "Setup \"Print 1\"; operationId = " + std::to_string(print->operationId()) +
                                  "; Machine: " + described(svxOne, true)},
                  {potential, "we don't have instances for this machinePath: " + path},
                  {potential, "Creating new ExtensibleMachine-Instance"},
                  {"IExtensibleMachine::IExtensibleMachine", "ExtensibleMachine \"" + path + "\" is being created"},
                  {"EXMIimpl::activateExtensibleMachineInstances", ""},
                  {"IExtensibleMachine::activate", "ExtensibleMachine \"" + path + "\" is being activated"},
                  {"IExtensibleMachine::onActivate", path},
                  {"Startup", "Handle Existing Document\ndocument Part B, EXMI-UUID = " + ub},
                  {"registerSetupHandlers", "Register SetupHandlers for document= Part B, EXMIUUID=" + ub},
                  {"EXMIimpl::registerSetupHandlers", "Can not register as there is no CAM product"},
                  {"EXMIimpl::ensureExtensibleMachineInstances", "Document \"Part B\" has no CAM product"},
                  {"HeartBeat::start", "start"},
                  {"HeartBeat::start", "done"},
                  {"EXMI", "Started EXMI AddIn: Stratavox AddIn"},
              }));
    EXPECT_EQ(journal->calls, (std::vector<std::string>{"create " + path, "onActivate " + path}));
    ASSERT_EQ(impl().getSetupHandlers().size(), 1u);
    EXPECT_EQ(impl().getSetupHandlers().begin()->first, ua);
    ASSERT_EQ(impl().getInstances().size(), 1u);
    const EXMI::MachineInstances& entry = impl().getInstances().at(path);
    EXPECT_EQ(entry.machineId, "svx-one");
    EXPECT_EQ(entry.vendor, "Stratavox");
    EXPECT_EQ(entry.technology, qrvn::cam::FFFMachineTechnology);
    ASSERT_EQ(entry.machines.size(), 1u);
    EXPECT_TRUE(entry.machines[0]->getSetup() == print);
    EXPECT_EQ(documentHandlerCount(), 7u);
    EXPECT_EQ(setupHandlerCount(a), 7u);

    log.mark();
    framework->stop();
    EXPECT_EQ(
        log.since(),
        (std::vector<Entry>{
            {"EXMI", "Stopping EXMI AddIn: Stratavox AddIn"},
            {"HeartBeat::stop", "Stopping Heart Beat"},
            {"heartBeatThreadFunc", "DONE"},
            {"HeartBeat::stop", "Stopped Heart Beat"},
            {"Stop", "stop\ndocument Part A, EXMI-UUID = " + ua},
            {"EXMIimpl::unregisterSetupHandlers", "Unregister SetupHandlers for document= Part A, EXMIUUID=" + ua},
            {"EXMIimpl::unregisterSetupHandlers", "Un-Registration successfull"},
            {"EXMIimpl::destroyExtensibleMachineInstances", ""},
            {"EXMIimpl::destroyExtensibleMachineInstances", ""},
            {"IExtensibleMachine::beforeDestroy", path},
            {"IExtensibleMachine::~IExtensibleMachine", "ExtensibleMachine \"" + path + "\" is being destroyed"},
            {"Stop", "stop\ndocument Part B, EXMI-UUID = " + ub},
            {"EXMIimpl::unregisterSetupHandlers", "Unregister SetupHandlers for document= Part B, EXMIUUID=" + ub},
            {"EXMIimpl::unregisterSetupHandlers", "Can not unregister as there is no CAM product"},
            {"EXMIimpl::destroyExtensibleMachineInstances", ""},
            {"EXMIimpl::destroyExtensibleMachineInstances", "Document \"Part B\" has no CAM product"},
            {"unregisterDocumentHandlers", "Unregister DocumentHandlers"},
            {"EXMI AddIn: Stratavox AddIn", "=== Stop EXMI Addin ==="},
            {"========", "============"},
            {"========", "============"},
        }));
    EXPECT_EQ(journal->destroyed, 1);
    EXPECT_TRUE(impl().getInstances().empty());
    EXPECT_TRUE(impl().getSetupHandlers().empty());
    EXPECT_EQ(documentHandlerCount(), 0u);
    EXPECT_EQ(setupHandlerCount(a), 0u);

    log.mark();
    framework.reset();
    EXPECT_EQ(log.since(), (std::vector<Entry>{{"EXMI::~EXMI", "---"}}));
}

TEST_F(FrameworkTest, StartupKeepsDuplicateUuidsAndStopLeavesDocumentsWithoutOne) {
    Document a = qrvn::sim::newDocument("Part A");
    Document b = qrvn::sim::newDocument("Part B");
    a->attributes()->add("EXMI", "DocumentUUID", "0123456789abcdef0123456789abcdef");
    b->attributes()->add("EXMI", "DocumentUUID", "0123456789abcdef0123456789abcdef");
    start();
    EXPECT_EQ(uuidOf(a), "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(uuidOf(b), "0123456789abcdef0123456789abcdef");

    b->attributes()->itemByName("EXMI", "DocumentUUID")->deleteMe();
    log.mark();
    framework->stop();
    const std::vector<Entry> stopped = log.since();
    EXPECT_EQ(only(stopped, {"Stop", "EXMIimpl::unregisterSetupHandlers"}),
              (std::vector<Entry>{
                  {"Stop", "stop\ndocument Part A, EXMI-UUID = 0123456789abcdef0123456789abcdef"},
                  {"EXMIimpl::unregisterSetupHandlers",
                   "Unregister SetupHandlers for document= Part A, EXMIUUID=0123456789abcdef0123456789abcdef"},
                  {"EXMIimpl::unregisterSetupHandlers", "Can not unregister as there is no CAM product"},
                  {"Stop", "stop\ndocument Part B, EXMI-UUID = "},
              }));
    EXPECT_EQ(uuidOf(b), "");
}

TEST_F(FrameworkTest, NewDocumentWorkspaceAndSetupsDriveTheRegistry) {
    start();
    log.mark();
    Document a = qrvn::sim::newDocument("Part A");
    const std::string ua = uuidOf(a);
    ASSERT_EQ(ua.size(), 32u);
    EXPECT_EQ(log.since(),
              (std::vector<Entry>{
                  {"DocumentCreatedHandler::safeNotify", "Document created: Part A; EXMI-UUID=" + ua},
                  {"registerSetupHandlers", "Register SetupHandlers for document= Part A, EXMIUUID=" + ua},
                  {"EXMIimpl::registerSetupHandlers", "Can not register as there is no CAM product"},
                  {"DocumentActivatedHandler::safeNotify", "Document activated: Part A; EXMI-UUID=" + ua},
                  {"registerSetupHandlers", "Register SetupHandlers for document= Part A, EXMIUUID=" + ua},
                  {"EXMIimpl::registerSetupHandlers", "Can not register as there is no CAM product"},
                  {"EXMIimpl::ensureExtensibleMachineInstances", "Document \"Part A\" has no CAM product"},
                  {"EXMIimpl::activateExtensibleMachineInstances", ""},
                  {"EXMIimpl::activateExtensibleMachineInstances", "Document \"Part A\" has no CAM product"},
              }));

    log.mark();
    ASSERT_TRUE(qrvn::sim::activateWorkspace("CAMEnvironment"));
    EXPECT_EQ(log.since(), (std::vector<Entry>{
                               {"CAMWorkspaceActivatedEventHandler::safeNotify",
                                "CAMWorksacpe Activated: Workspace = CAMEnvironment; EXMI-UUID=" + ua},
                               {"registerSetupHandlers", "Register SetupHandlers for document= Part A, EXMIUUID=" + ua},
                               {"EXMIimpl::registerSetupHandlers", "Registration successfull"},
                               {"EXMIimpl::ensureExtensibleMachineInstances", "Document \"Part A\" has 0 setups.."},
                           }));
    EXPECT_EQ(setupHandlerCount(a), 7u);

    log.mark();
    CamSetup first = qrvn::sim::addSetup(a, "Print 1", svxOne);
    const std::string p1 = ua + "/" + std::to_string(first->operationId());
    const std::string line1 = "Setup: \"Print 1\";operationId = " + std::to_string(first->operationId());
    const std::string potential = "EXMIimpl::handlePotentialNewMachine";
    EXPECT_EQ(log.since(),
              (std::vector<Entry>{
                  {"EXMISetupEventHandler::notify", "starting"},
                  {"MySetupCreatedHandler::safeNotify", line1},
                  {potential, ""},
                  {potential, "Setup \"Print 1\"; operationId = " + std::to_string(first->operationId()) +
                                  "; Machine: " + described(svxOne, true)},
                  {potential, "we don't have instances for this machinePath: " + p1},
                  {potential, "Creating new ExtensibleMachine-Instance"},
                  {"IExtensibleMachine::IExtensibleMachine", "ExtensibleMachine \"" + p1 + "\" is being created"},
                  {"EXMISetupEventHandler::notify", "starting"},
                  {"MySetupActivatingHandler::safeNotify", line1},
                  {"EXMISetupEventHandler::notify", "starting"},
                  {"MySetupActivatedHandler::safeNotify", line1 + " Machine = " + described(svxOne, false)},
                  {"EXMIimpl::activateExtensibleMachineInstances", ""},
                  {"IExtensibleMachine::activate", "ExtensibleMachine \"" + p1 + "\" is being activated"},
                  {"IExtensibleMachine::onActivate", p1},
              }));

    // A second setup: created, the first one deactivated, the new one activated.
    size_t mark = journal->calls.size();
    CamSetup second = qrvn::sim::addSetup(a, "Print 2", svxTwo);
    const std::string p2 = ua + "/" + std::to_string(second->operationId());
    EXPECT_EQ(callsSince(mark), (std::vector<std::string>{"create " + p2, "onDeactivate " + p1, "onActivate " + p2}));

    mark = journal->calls.size();
    ASSERT_TRUE(first->activate());
    EXPECT_EQ(callsSince(mark), (std::vector<std::string>{"onDeactivate " + p2, "onActivate " + p1}));
    EXPECT_EQ(impl().getInstances().size(), 2u);
}

TEST_F(FrameworkTest, SwitchingDocumentsDeactivatesAndReactivatesTheirInstances) {
    Document a = camDocument("Part A");
    CamSetup first = qrvn::sim::addSetup(a, "Print 1", svxOne);
    CamSetup second = qrvn::sim::addSetup(a, "Print 2", svxTwo);
    ASSERT_TRUE(first->activate());
    start();
    const std::string ua = uuidOf(a);
    const std::string p1 = ua + "/" + std::to_string(first->operationId());
    const std::string p2 = ua + "/" + std::to_string(second->operationId());
    // Only the active setup's instance is activated at start-up.
    EXPECT_EQ(journal->calls, (std::vector<std::string>{"create " + p1, "onActivate " + p1, "create " + p2}));

    size_t mark = journal->calls.size();
    log.mark();
    Document c = qrvn::sim::newDocument("Part C");
    EXPECT_EQ(callsSince(mark), std::vector<std::string>{"onDeactivate " + p1});
    EXPECT_EQ(log.countSince({"DocumentDeactivatingHandler::safeNotify", "Document deactivating: Part A"}), 1u);

    mark = journal->calls.size();
    log.mark();
    ASSERT_TRUE(qrvn::sim::activateDocument(a));
    EXPECT_EQ(callsSince(mark), std::vector<std::string>{"onActivate " + p1});
    const std::vector<Entry> activated = log.since();
    EXPECT_EQ(
        only(activated, {"DocumentDeactivatingHandler::safeNotify", "EXMIimpl::deactivateExtensibleMachineInstances"}),
        (std::vector<Entry>{
            {"DocumentDeactivatingHandler::safeNotify", "Document deactivating: Part C"},
            {"EXMIimpl::deactivateExtensibleMachineInstances", ""},
            {"EXMIimpl::deactivateExtensibleMachineInstances", "Can not deactivate as there is no CAM product"}}));
    EXPECT_GE(log.countSince(
                  {"EXMIimpl::registerSetupHandlers", "registerSetupHandlers skipped as Part A is already registered"}),
              1u);
    EXPECT_GE(
        log.countSince({"EXMIimpl::handlePotentialNewMachine",
                        "setup passed is still a machine with id: svx-one, vendor \"Stratavox\" and technology \"0\""}),
        1u);
    EXPECT_EQ(impl().getInstances().size(), 2u);
    EXPECT_EQ(journal->callsOf("create").size(), 2u);
}

TEST_F(FrameworkTest, ClosingDestroysInstancesAndReopeningRecreatesThem) {
    Document a = camDocument("Part A");
    CamSetup first = qrvn::sim::addSetup(a, "Print 1", svxOne);
    CamSetup second = qrvn::sim::addSetup(a, "Print 2", other);
    CamSetup third = qrvn::sim::addSetup(a, "Print 3", svxTwo);
    Document c = qrvn::sim::newDocument("Part C");
    start();
    const std::string ua = uuidOf(a);
    const std::string p1 = ua + "/" + std::to_string(first->operationId());
    const std::string p3 = ua + "/" + std::to_string(third->operationId());
    ASSERT_EQ(impl().getInstances().size(), 2u);
    // The active setup's instance is activated at start-up even though its
    // document is not the active one.
    EXPECT_EQ(journal->calls, (std::vector<std::string>{"create " + p1, "create " + p3, "onActivate " + p3}));
    const qrvn::sim::SavedDocument saved = qrvn::sim::saveDocument(a);

    size_t mark = journal->calls.size();
    log.mark();
    ASSERT_TRUE(qrvn::sim::activateDocument(a));
    ASSERT_TRUE(qrvn::sim::closeDocument(a));
    EXPECT_EQ(callsSince(mark), (std::vector<std::string>{"beforeDestroy " + p1, "beforeDestroy " + p3}));
    EXPECT_EQ(journal->destroyed, 2);
    EXPECT_TRUE(impl().getInstances().empty());
    EXPECT_TRUE(impl().getSetupHandlers().empty());
    EXPECT_EQ(setupHandlerCount(a), 0u);
    EXPECT_EQ(
        only(log.since(), {"DocumentClosingHandler::safeNotify", "EXMIimpl::unregisterSetupHandlers"}),
        (std::vector<Entry>{
            {"DocumentClosingHandler::safeNotify", "Document closing: Part A"},
            {"EXMIimpl::unregisterSetupHandlers", "Unregister SetupHandlers for document= Part A, EXMIUUID=" + ua},
            {"EXMIimpl::unregisterSetupHandlers", "Un-Registration successfull"},
        }));

    // The saved document comes back with its identity and its instances.
    mark = journal->calls.size();
    log.mark();
    Document reopened = qrvn::sim::openDocument(saved);
    EXPECT_EQ(uuidOf(reopened), ua);
    EXPECT_EQ(log.countSince({"DocumentOpenedHandler::safeNotify", "Document opened: Part A; EXMI-UUID=" + ua}), 1u);
    EXPECT_EQ(journal->callsOf("create").size() - 2, 2u);
    EXPECT_EQ(impl().getInstances().size(), 2u);
    const std::vector<std::string> since = callsSince(mark);
    EXPECT_EQ(since[0], "create " + p1);
    EXPECT_EQ(since[1], "create " + p3);
    EXPECT_EQ(setupHandlerCount(reopened), 7u);
    for (const auto& entry : impl().getInstances()) {
        for (const auto& machine : entry.second.machines) {
            EXPECT_EQ(machine->isActive(), machine->getSetup()->isActive()) << entry.first;
        }
    }

    // A document reported as closing never passes the manufacturing
    // workspace handler again.
    if (qrvn::sim::activeWorkspaceId() == "CAMEnvironment") {
        ASSERT_TRUE(qrvn::sim::activateWorkspace("KalvixSolidEnvironment"));
    }
    log.mark();
    ASSERT_TRUE(qrvn::sim::activateWorkspace("CAMEnvironment"));
    EXPECT_EQ(only(log.since(), {"CAMWorkspaceActivatedEventHandler::safeNotify"}),
              (std::vector<Entry>{
                  {"CAMWorkspaceActivatedEventHandler::safeNotify", "Invalid document, currently closing."}}));
    // Leaving for another workspace is not the workspace handler's business.
    log.mark();
    ASSERT_TRUE(qrvn::sim::activateWorkspace("KalvixSolidEnvironment"));
    EXPECT_TRUE(only(log.since(), kHandlerSources).empty());
}

TEST_F(FrameworkTest, NewDocumentCopiedFromAnOpenOneGetsItsOwnIdentity) {
    Document a = camDocument("Part A");
    CamSetup print = qrvn::sim::addSetup(a, "Print 1", svxOne);
    Document plain = qrvn::sim::newDocument("Sketch");
    start();
    const std::string ua = uuidOf(a);

    log.mark();
    Document copy = qrvn::sim::newDocumentFrom(qrvn::sim::saveDocument(a), "Part A copy");
    const std::string uc = uuidOf(copy);
    ASSERT_EQ(uc.size(), 32u);
    EXPECT_NE(uc, ua);
    EXPECT_EQ(
        only(log.since(), {"DocumentCreatedHandler::safeNotify", "EXMIimpl::registerSetupHandlers"}),
        (std::vector<Entry>{
            {"DocumentCreatedHandler::safeNotify", "Document created: Part A copy; EXMI-UUID=" + uc},
            {"EXMIimpl::registerSetupHandlers", "Registration successfull"},
            {"EXMIimpl::registerSetupHandlers", "registerSetupHandlers skipped as Part A copy is already registered"},
        }));
    // Both documents have their own setup handlers and instances.
    EXPECT_EQ(impl().getSetupHandlers().size(), 2u);
    EXPECT_EQ(setupHandlerCount(a), 7u);
    EXPECT_EQ(setupHandlerCount(copy), 7u);
    EXPECT_EQ(impl().getInstances().count(ua + "/" + std::to_string(print->operationId())), 1u);
    EXPECT_EQ(impl().getInstances().count(uc + "/" + std::to_string(print->operationId())), 1u);

    // A copy of a document that has no manufacturing product yet (so no
    // setup handlers) must not share its identity either.
    Document sketchCopy = qrvn::sim::newDocumentFrom(qrvn::sim::saveDocument(plain), "Sketch copy");
    EXPECT_NE(uuidOf(sketchCopy), uuidOf(plain));
    EXPECT_EQ(uuidOf(sketchCopy).size(), 32u);
}

TEST_F(FrameworkTest, ActivatingADocumentWithoutIdentityOnlyLogsItsName) {
    Document a = camDocument("Part A");
    qrvn::sim::addSetup(a, "Print 1", svxOne);
    Document b = qrvn::sim::newDocument("Part B");
    start();
    a->attributes()->itemByName("EXMI", "DocumentUUID")->deleteMe();
    ASSERT_TRUE(qrvn::sim::activateDocument(b));
    const size_t mark = journal->calls.size();
    log.mark();
    ASSERT_TRUE(qrvn::sim::activateDocument(a));
    EXPECT_EQ(only(log.since(), {"DocumentActivatedHandler::safeNotify", "registerSetupHandlers"}),
              (std::vector<Entry>{{"DocumentActivatedHandler::safeNotify", "Document activated: Part A"}}));
    EXPECT_TRUE(callsSince(mark).empty());
}

}  // namespace
}  // namespace exmi_test
