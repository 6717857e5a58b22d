// The running framework against the simulated host: a fresh host, a log under
// a private APPDATA, the vendor's test definition with a recording machine and
// a few library machines. Start-up with open documents and stop; the host's
// document, workspace and setup events driving the machine instance registry;
// failures at the framework's edges (each logged as one line, nothing reaching
// the host, no handler left behind); and the heartbeat, a background thread
// whose beats the host delivers on the UI thread (real time: these tests pump
// the host until a condition holds or a deadline passes).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "exmi/exmi.h"
#include "exmi/exmi_impl.h"
#include "host/qrvn.h"
#include "simhost/sim/cam.h"
#include "simhost/sim/documents.h"
#include "simhost/sim/event_loop.h"
#include "simhost/sim/host.h"
#include "simhost/sim/ui.h"
#include "support/document.h"
#include "tests/exmi/handler_counts.h"
#include "tests/exmi/log_reader.h"
#include "tests/exmi/recording_machine.h"

namespace exmi_test {
namespace {

using qrvn::core::Ptr;
using std::chrono::milliseconds;

using Document = Ptr<qrvn::kalvix::KalvixDocument>;
using CamSetup = Ptr<qrvn::cam::Setup>;

class FrameworkTest : public ::testing::Test {
protected:
    FrameworkTest() : journal(std::make_shared<Journal>()) {
        svxOne = addMachine("svx-one", "Stratavox", "One", qrvn::cam::FFFMachineTechnology);
        svxTwo = addMachine("svx-two", "Stratavox", "Two", qrvn::cam::SLAMachineTechnology);
        other = addMachine("oth-one", "Otherco", "Uno", qrvn::cam::FFFMachineTechnology);
    }

    static Ptr<qrvn::cam::Machine> addMachine(const std::string& id, const std::string& vendor,
                                              const std::string& model, int technology) {
        qrvn::sim::MachineSpec machine;
        machine.id = id;
        machine.name = vendor + " " + model;
        machine.vendor = vendor;
        machine.model = model;
        machine.description = model + " printer";
        machine.technology = technology;
        return qrvn::sim::addMachine(machine);
    }

    void start(std::vector<EXMI::MachineDefinition> definitions = {}) {
        if (definitions.empty()) definitions.push_back(recordingDefinition(journal));
        framework = EXMI::make("Stratavox AddIn", definitions);
        framework->run();
    }

    EXMI::EXMIimpl& impl() { return static_cast<EXMI::EXMIimpl&>(*framework); }

    static std::string uuidOf(const Ptr<qrvn::core::Document>& document) { return support::readDocumentUuid(document); }

    // The description of a machine as the registry logs it.
    static std::string described(const Ptr<qrvn::cam::Machine>& machine, bool withTechnology) {
        std::string text = "vendor = \"" + machine->vendor() + "\"; model = \"" + machine->model() +
                           "\"; description = \"" + machine->description() + "\"; id = \"" + machine->id() + "\"";
        if (withTechnology) {
            text += "; Technology = \"" + std::to_string(machine->capabilities()->technology()) + "\"";
        }
        return text;
    }

    static Document camDocument(const std::string& name) {
        Document document = qrvn::sim::newDocument(name);
        qrvn::sim::ensureCamProduct(document);
        return document;
    }

    static std::string pathOf(const Document& document, const CamSetup& setup) {
        return uuidOf(document) + "/" + std::to_string(setup->operationId());
    }

    // Marks the log and the journal: log.since() and callsSince() give what followed.
    void mark() {
        log.mark();
        callMark = journal->calls.size();
    }
    std::vector<std::string> callsSince() const {
        return std::vector<std::string>(journal->calls.begin() + static_cast<std::ptrdiff_t>(callMark),
                                        journal->calls.end());
    }

    LogFile log;
    qrvn::sim::Session host;
    std::shared_ptr<Journal> journal;
    Ptr<qrvn::cam::Machine> svxOne, svxTwo, other;
    size_t callMark = 0;
    std::shared_ptr<EXMI::Framework> framework;  // released first
};

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
    EXPECT_NE(ua, ub);
    const std::string path = pathOf(a, print);
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
    ASSERT_EQ(impl().getInstances().size(), 1u);
    const EXMI::MachineInstances& entry = impl().getInstances().at(path);
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
}

TEST_F(FrameworkTest, NewDocumentWorkspaceAndSetupsDriveTheRegistry) {
    start();
    log.mark();
    Document a = qrvn::sim::newDocument("Part A");
    ASSERT_EQ(uuidOf(a).size(), 32u);
    EXPECT_TRUE(
        log.onceSince({"EXMIimpl::activateExtensibleMachineInstances", "Document \"Part A\" has no CAM product"}));

    ASSERT_TRUE(qrvn::sim::activateWorkspace("CAMEnvironment"));
    EXPECT_EQ(setupHandlerCount(a), 7u);

    log.mark();
    CamSetup first = qrvn::sim::addSetup(a, "Print 1", svxOne);
    EXPECT_TRUE(log.onceSince({"MySetupCreatedHandler::safeNotify",
                               "Setup: \"Print 1\";operationId = " + std::to_string(first->operationId())}));
    const std::string p1 = pathOf(a, first);
    EXPECT_EQ(journal->calls, (std::vector<std::string>{"create " + p1, "onActivate " + p1}));
}

TEST_F(FrameworkTest, SwitchingDocumentsDeactivatesAndReactivatesTheirInstances) {
    Document a = camDocument("Part A");
    CamSetup first = qrvn::sim::addSetup(a, "Print 1", svxOne);
    CamSetup second = qrvn::sim::addSetup(a, "Print 2", svxTwo);
    ASSERT_TRUE(first->activate());
    start();
    const std::string p1 = pathOf(a, first), p2 = pathOf(a, second);
    // Only the active setup's instance is activated at start-up.
    EXPECT_EQ(journal->calls, (std::vector<std::string>{"create " + p1, "onActivate " + p1, "create " + p2}));

    mark();
    Document c = qrvn::sim::newDocument("Part C");
    EXPECT_EQ(callsSince(), std::vector<std::string>{"onDeactivate " + p1});
    EXPECT_TRUE(log.onceSince({"DocumentDeactivatingHandler::safeNotify", "Document deactivating: Part A"}));
    // Only the active instance says so; deactivating it again says nothing.
    const std::vector<Entry> deactivated{
        {"IExtensibleMachine::deactivate", "ExtensibleMachine \"" + p1 + "\" is being deactivated"}};
    impl().getInstances().at(p1).machines[0]->deactivate();
    EXPECT_EQ(only(log.since(), {"IExtensibleMachine::deactivate"}), deactivated);

    mark();
    ASSERT_TRUE(qrvn::sim::activateDocument(a));
    impl().getInstances().at(p1).machines[0]->activate();  // already active: no second call
    EXPECT_EQ(callsSince(), std::vector<std::string>{"onActivate " + p1});
    EXPECT_TRUE(log.onceSince(
        {"EXMIimpl::deactivateExtensibleMachineInstances", "Can not deactivate as there is no CAM product"}));
    EXPECT_EQ(impl().getInstances().size(), 2u);
}

TEST_F(FrameworkTest, ClosingDestroysInstancesAndReopeningRecreatesThem) {
    Document a = camDocument("Part A");
    CamSetup first = qrvn::sim::addSetup(a, "Print 1", svxOne);
    qrvn::sim::addSetup(a, "Print 2", other);
    CamSetup third = qrvn::sim::addSetup(a, "Print 3", svxTwo);
    Document c = qrvn::sim::newDocument("Part C");
    start();
    const std::string ua = uuidOf(a), p1 = pathOf(a, first), p3 = pathOf(a, third);
    // The active setup's instance is activated at start-up even though its
    // document is not the active one.
    EXPECT_EQ(journal->calls, (std::vector<std::string>{"create " + p1, "create " + p3, "onActivate " + p3}));
    const qrvn::sim::SavedDocument saved = qrvn::sim::saveDocument(a);

    mark();
    ASSERT_TRUE(qrvn::sim::activateDocument(a));
    ASSERT_TRUE(qrvn::sim::closeDocument(a));
    EXPECT_EQ(callsSince(), (std::vector<std::string>{"beforeDestroy " + p1, "beforeDestroy " + p3}));
    EXPECT_EQ(journal->destroyed, 2);
    EXPECT_TRUE(impl().getInstances().empty());
    EXPECT_TRUE(impl().getSetupHandlers().empty());
    EXPECT_EQ(setupHandlerCount(a), 0u);
    EXPECT_TRUE(log.onceSince({"DocumentClosingHandler::safeNotify", "Document closing: Part A"}));

    // The saved document comes back with its identity and its instances.
    mark();
    Document reopened = qrvn::sim::openDocument(saved);
    EXPECT_EQ(uuidOf(reopened), ua);
    EXPECT_TRUE(log.onceSince({"DocumentOpenedHandler::safeNotify", "Document opened: Part A; EXMI-UUID=" + ua}));
    const std::vector<std::string> since = callsSince();
    ASSERT_GE(since.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(since.begin(), since.begin() + 2),
              (std::vector<std::string>{"create " + p1, "create " + p3}));
    EXPECT_EQ(impl().getInstances().size(), 2u);
    EXPECT_EQ(setupHandlerCount(reopened), 7u);

    // Reopened, it is no longer closing: entering the manufacturing
    // workspace registers it again instead of refusing it for good.
    if (qrvn::sim::activeWorkspaceId() == "CAMEnvironment") {
        ASSERT_TRUE(qrvn::sim::activateWorkspace("KalvixSolidEnvironment"));
    }
    log.mark();
    ASSERT_TRUE(qrvn::sim::activateWorkspace("CAMEnvironment"));
    EXPECT_EQ(only(log.since(), {"CAMWorkspaceActivatedEventHandler::safeNotify"}),
              (std::vector<Entry>{{"CAMWorkspaceActivatedEventHandler::safeNotify",
                                   "CAMWorksacpe Activated: Workspace = CAMEnvironment; EXMI-UUID=" + ua}}));
    EXPECT_EQ(impl().getInstances().size(), 2u);
    // Leaving for another workspace is not the workspace handler's business.
    log.mark();
    ASSERT_TRUE(qrvn::sim::activateWorkspace("KalvixSolidEnvironment"));
    EXPECT_TRUE(only(log.since(), kHandlerSources).empty());
}

TEST_F(FrameworkTest, IdentitiesAreKeptNewDocumentsGetTheirOwnAndAMissingOneIsNeverMade) {
    Document a = camDocument("Part A");
    CamSetup print = qrvn::sim::addSetup(a, "Print 1", svxOne);
    Document b = qrvn::sim::newDocument("Part B");
    Document c = qrvn::sim::newDocument("Part C");
    const std::string shared = "0123456789abcdef0123456789abcdef";
    b->attributes()->add("EXMI", "DocumentUUID", shared);
    c->attributes()->add("EXMI", "DocumentUUID", shared);
    start();
    // Start-up keeps the identities it finds, even one shared by two documents.
    EXPECT_EQ(uuidOf(b), shared);
    EXPECT_EQ(uuidOf(c), shared);

    // Copies of an open document, with setup handlers or without a
    // manufacturing product, get identities of their own.
    log.mark();
    Document copy = qrvn::sim::newDocumentFrom(qrvn::sim::saveDocument(a), "Part A copy");
    const std::string uc = uuidOf(copy);
    ASSERT_EQ(uc.size(), 32u);
    EXPECT_NE(uc, uuidOf(a));
    EXPECT_TRUE(
        log.onceSince({"DocumentCreatedHandler::safeNotify", "Document created: Part A copy; EXMI-UUID=" + uc}));
    EXPECT_TRUE(log.onceSince(
        {"EXMIimpl::registerSetupHandlers", "registerSetupHandlers skipped as Part A copy is already registered"}));
    EXPECT_EQ(setupHandlerCount(a), 7u);
    EXPECT_EQ(setupHandlerCount(copy), 7u);
    EXPECT_EQ(impl().getInstances().count(pathOf(a, print)), 1u);
    EXPECT_EQ(impl().getInstances().count(uc + "/" + std::to_string(print->operationId())), 1u);
    const std::string plainCopy = uuidOf(qrvn::sim::newDocumentFrom(qrvn::sim::saveDocument(b), "Part B copy"));
    EXPECT_NE(plainCopy, shared);
    EXPECT_EQ(plainCopy.size(), 32u);

    // A document that lost its identity is only named when activated ...
    const std::string ua = uuidOf(a);
    a->attributes()->itemByName("EXMI", "DocumentUUID")->deleteMe();
    mark();
    ASSERT_TRUE(qrvn::sim::activateDocument(a));
    EXPECT_EQ(only(log.since(), {"DocumentActivatedHandler::safeNotify", "registerSetupHandlers"}),
              (std::vector<Entry>{{"DocumentActivatedHandler::safeNotify", "Document activated: Part A"}}));
    EXPECT_TRUE(callsSince().empty());
    a->attributes()->add("EXMI", "DocumentUUID", ua);

    // ... and not given one by stop.
    c->attributes()->itemByName("EXMI", "DocumentUUID")->deleteMe();
    log.mark();
    framework->stop();
    EXPECT_TRUE(log.onceSince({"Stop", "stop\ndocument Part C, EXMI-UUID = "}));
    EXPECT_EQ(uuidOf(c), "");
}

class SetupLifecycleTest : public FrameworkTest {
protected:
    void SetUp() override {
        a = camDocument("Part A");
        print = qrvn::sim::addSetup(a, "Print 1", svxOne);
        start();
        path = pathOf(a, print);
        line = "Setup: \"Print 1\";operationId = " + std::to_string(print->operationId());
    }

    const EXMI::MachineInstances& entry() { return impl().getInstances().at(path); }
    // The setup's registry entry: machine id, technology, then each instance
    // active or not; "no entry" without one.
    std::string state() {
        if (impl().getInstances().count(path) == 0) return "no entry";
        std::string text = entry().machineId + " " + std::to_string(entry().technology);
        for (const auto& machine : entry().machines) text += machine->isActive() ? " active" : " inactive";
        return text;
    }

    Document a;
    CamSetup print;
    std::string path, line;
};

// One setup through its machine's changes; each step's hook calls, its own
// log lines and the registry entry afterwards.
TEST_F(SetupLifecycleTest, MachineChangesKeepResynchroniseDestroyOrRecreateTheInstance) {
    const std::string potential = "EXMIimpl::handlePotentialNewMachine";
    const std::string op = std::to_string(print->operationId());
    const struct {
        const char* what;
        std::function<bool()> change;
        std::vector<std::string> hooks;  // called on the instance at `path`
        std::vector<Entry> logged;       // once each
        std::string after;               // state()
    } steps[] = {
        {"the same machine",
         [&] { return print->name("Print 1"); },
         {"onChange"},
         {{potential, "We already have/have had instances for machinePath = \"" + path + "\""},
          {potential, "setup passed is still a machine with id: svx-one, vendor \"Stratavox\" and technology \"0\""},
          {"EXMIimpl::HandleChangeEvent",
           "Setup \"Print 1\"; operationId = " + op + "; Machine: " + described(svxOne, false)},
          {"IExtensibleMachine::change", "ExtensibleMachine \"" + path + "\" is being changed"}},
         "svx-one 0 active"},
        // Same vendor: the same instance, resynchronised in place.
        {"another id of the vendor",
         [&] { return print->machine(svxTwo); },
         {"onChange"},
         {{potential, "New machineid: svx-two, vendor = \"Stratavox\" and technology = \"1\""}},
         "svx-two 1 active"},
        // Destroyed without being deactivated first; the entry stays, empty.
        {"another vendor", [&] { return print->machine(other); }, {"beforeDestroy"}, {}, "oth-one 0"},
        {"the vendor again",
         [&] { return print->machine(svxOne); },
         {"create", "onActivate", "onChange"},
         {},
         "svx-one 0 active"},
        {"no machine",
         [&] { return print->machine(nullptr); },
         {"beforeDestroy"},
         {{"MySetupChangedHandler::safeNotify", line + " Machine = "}},
         " -1"},
        {"a machine again",
         [&] { return print->machine(svxTwo); },
         {"create", "onActivate", "onChange"},
         {},
         "svx-two 1 active"},
        {"deleted", [&] { return print->deleteMe(); }, {"beforeDestroy"}, {}, "no entry"},
    };
    int destroyed = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        mark();
        ASSERT_TRUE(step.change());
        std::vector<std::string> hooks;
        for (const std::string& hook : step.hooks) hooks.push_back(hook + " " + path);
        EXPECT_EQ(callsSince(), hooks);
        for (const Entry& wanted : step.logged) EXPECT_TRUE(log.onceSince(wanted));
        destroyed += static_cast<int>(std::count(step.hooks.begin(), step.hooks.end(), "beforeDestroy"));
        EXPECT_EQ(journal->destroyed, destroyed);
        EXPECT_EQ(state(), step.after);
    }
}

TEST_F(SetupLifecycleTest, UnservedMachineGetsNoEntrySwitchingOnlyLogsAndAnInactiveSetupStaysInactive) {
    CamSetup foreign = qrvn::sim::addSetup(a, "Print 2", other);
    const std::string foreignPath = pathOf(a, foreign);
    EXPECT_EQ(impl().getInstances().count(foreignPath), 0u);
    // The new setup is active, so the first one's instance went inactive.
    EXPECT_FALSE(entry().machines[0]->isActive());

    // Switching setups: the activation handlers only log their setups.
    const std::string line2 = "Setup: \"Print 2\";operationId = " + std::to_string(foreign->operationId());
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
    mark();
    ASSERT_TRUE(foreign->machine(svxTwo));
    EXPECT_EQ(callsSince(), (std::vector<std::string>{"create " + foreignPath, "onChange " + foreignPath}));
    EXPECT_FALSE(impl().getInstances().at(foreignPath).machines[0]->isActive());
    ASSERT_TRUE(foreign->activate());
    EXPECT_TRUE(impl().getInstances().at(foreignPath).machines[0]->isActive());
    EXPECT_FALSE(entry().machines[0]->isActive());
}

TEST_F(FrameworkTest, EventsWithoutArgumentsMissingHostObjectsAndFailingHooksFailTheHandlerOnly) {
    Document a = camDocument("Part A");
    start();
    Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    Ptr<qrvn::cam::CAM> cam = support::getCamProduct(a);
    log.mark();
    app->documentOpened()->fire(nullptr);
    app->userInterface()->workspaceActivated()->fire(nullptr);
    cam->setupCreated()->fire(nullptr);
    cam->setupChanged()->fire(nullptr);
    EXPECT_EQ(log.since(), (std::vector<Entry>{
                               {"EXMIDocumentEventHandler::notify", "Failed Invalid DocumentEventArgs"},
                               {"EXMIWorkspaceEventHandler::notify", "Failed Invalid WorkspaceEventArgs"},
                               {"EXMISetupEventHandler::notify", "starting"},
                               {"EXMISetupEventHandler::notify", "Failed Invalid SetupEventArgs"},
                               {"EXMISetupChangeEventHandler::notify", "starting"},
                               {"EXMISetupChangeEventHandler::notify", "Failed Invalid SetupEventArgs"},
                           }));

    // Arguments without their document or setup are refused by each handler.
    log.mark();
    const Ptr<qrvn::core::DocumentEventArgs> noDocument(std::make_shared<qrvn::core::DocumentEventArgs>(nullptr));
    app->documentOpened()->fire(noDocument);
    app->documentCreated()->fire(noDocument);
    app->documentClosing()->fire(noDocument);
    cam->setupDestroying()->fire(Ptr<qrvn::cam::SetupEventArgs>(std::make_shared<qrvn::cam::SetupEventArgs>(nullptr)));
    EXPECT_EQ(log.since(), (std::vector<Entry>{
                               {"DocumentOpenedHandler::safeNotify", "Invalid document."},
                               {"Document created", ""},
                               {"DocumentClosingHandler::safeNotify", "Invalid document."},
                               {"EXMISetupEventHandler::notify", "starting"},
                               {"MySetupDestroyingHandler::safeNotify", "Invalid setupToDestroy."},
                           }));

    qrvn::sim::addSetup(a, "Print 1", svxOne);
    Document b = qrvn::sim::newDocument("Part B");
    const size_t created = journal->callsOf("create").size();

    // No setup collection while the document is activated: the handler logs
    // the failure.
    qrvn::sim::failOperation("CAM::setups", 1);
    log.mark();
    ASSERT_TRUE(qrvn::sim::activateDocument(a));
    EXPECT_TRUE(log.onceSince({"EXMIDocumentEventHandler::notify", "Failed std::exception"}));

    // A machine without capabilities cannot be matched.
    qrvn::sim::failOperation("Machine::capabilities", 1);
    log.mark();
    ASSERT_TRUE(qrvn::sim::addSetup(a, "Print 2", svxTwo));
    EXPECT_TRUE(log.onceSince({"EXMISetupEventHandler::notify", "Failed std::exception"}));
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
    // Later events for the same setup are handled again as usual.
    EXPECT_EQ(journal->callsOf("create").size(), created);
    qrvn::sim::clearFailures();
    ASSERT_TRUE(qrvn::sim::activateDocument(b));
    ASSERT_TRUE(qrvn::sim::activateDocument(a));
    EXPECT_EQ(journal->callsOf("create").size(), created + 1);

    // A hook that throws is logged by the event handler that called it.
    journal->failIn = "onActivate";
    log.mark();
    CamSetup print = qrvn::sim::addSetup(a, "Print 3", svxOne);
    EXPECT_TRUE(log.onceSince({"EXMISetupEventHandler::notify", "Failed onActivate failed"}));

    journal->failIn = "onChange";
    log.mark();
    ASSERT_TRUE(print->name("Print 1b"));
    EXPECT_TRUE(log.onceSince({"EXMISetupChangeEventHandler::notify", "Failed onChange failed"}));
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());

    // The registry is intact: the instance is still there and still served.
    journal->failIn.clear();
    const int destroyed = journal->destroyed;
    ASSERT_TRUE(print->deleteMe());
    EXPECT_EQ(journal->destroyed, destroyed + 1);
}

TEST_F(FrameworkTest, FailedRunThenStopThenDestructionLeaveNothingAttached) {
    Document a = camDocument("Part A");
    CamSetup print = qrvn::sim::addSetup(a, "Print 1", svxOne);
    Document b = qrvn::sim::newDocument("Part B");
    journal->failIn = "onActivate";
    start();
    const std::string path = pathOf(a, print);
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

    // A matching definition without a factory fails the handler.
    log.mark();
    ASSERT_TRUE(print->machine(svxTwo));
    EXPECT_TRUE(log.onceSince({"EXMISetupChangeEventHandler::notify", "Failed std::exception"}));
    EXPECT_TRUE(impl().getInstances().empty());
}

TEST_F(FrameworkTest, RunAndStopWithoutApplicationOnlyLog) {
    qrvn::sim::reset(qrvn::sim::HostOptions{false, false});
    start();
    framework->stop();
    framework.reset();
    EXPECT_EQ(log.count({"EXMI::run", "Failed No App available"}), 1u);
    // Stop fails at the heartbeat, which has no application to unregister from.
    EXPECT_EQ(log.count({"EXMI::stop", "Failed std::exception"}), 1u);
    EXPECT_EQ(log.entries().back(), (Entry{"EXMI::~EXMI", "---"}));
}

using Clock = std::chrono::steady_clock;

class HeartBeatTest : public FrameworkTest {
protected:
    size_t ticks() const { return log.count({"EXMIimpl::onHeartBeat", ""}); }
};

TEST_F(HeartBeatTest, EveryInstanceGetsExactlyOneCallPerBeatOnTheUiThread) {
    Document a = camDocument("Part A");
    CamSetup first = qrvn::sim::addSetup(a, "Print 1", svxOne);
    Document b = camDocument("Part B");
    CamSetup second = qrvn::sim::addSetup(b, "Print 1", svxTwo);
    start();
    ASSERT_EQ(impl().getInstances().size(), 2u);
    std::vector<std::string> paths;
    for (const auto& entry : impl().getInstances()) paths.push_back(entry.first);

    // The host refuses the beat's event id a second time while it is registered.
    const std::string id = impl().getHeartBeat().getEventId();
    EXPECT_FALSE(qrvn::core::Application::get()->registerCustomEvent(id));

    ASSERT_TRUE(qrvn::sim::runUntil([&] { return journal->beats.size() >= 6; }, milliseconds(8000)));
    const Clock::time_point before = Clock::now();
    framework->stop();
    // Stop is prompt and the custom event is gone: its id can be registered afresh.
    EXPECT_LT(Clock::now() - before, milliseconds(1000));
    EXPECT_TRUE(qrvn::core::Application::get()->registerCustomEvent(id));
    qrvn::sim::pump();

    const size_t beats = ticks();
    ASSERT_GE(beats, 3u);
    ASSERT_EQ(journal->beats.size(), 2 * beats);
    for (size_t i = 0; i < beats; ++i) {
        // Registry order within each beat, each instance once.
        EXPECT_EQ(journal->beats[2 * i], paths[0]) << "beat " << i;
        EXPECT_EQ(journal->beats[2 * i + 1], paths[1]) << "beat " << i;
    }
    const std::thread::id ui = std::this_thread::get_id();
    EXPECT_TRUE(std::all_of(journal->beatThreads.begin(), journal->beatThreads.end(),
                            [&](std::thread::id id) { return id == ui; }));
    EXPECT_TRUE(qrvn::sim::offThreadDeliveries().empty());
    // About a second apart: three beats take at least two periods.
    EXPECT_GE(journal->beatTimes[4] - journal->beatTimes[0], milliseconds(1900));
}

TEST_F(HeartBeatTest, AFireDeliveredAfterStopHasNoEffect) {
    Document a = camDocument("Part A");
    qrvn::sim::addSetup(a, "Print 1", svxOne);
    start();
    // The thread fires at once; wait, without pumping, until that fire is
    // queued for the UI thread.
    const Clock::time_point deadline = Clock::now() + milliseconds(5000);
    while (qrvn::sim::pending() == 0 && Clock::now() < deadline) std::this_thread::yield();
    ASSERT_GT(qrvn::sim::pending(), 0u);

    framework->stop();
    qrvn::sim::pump();
    EXPECT_EQ(ticks(), 0u);
    EXPECT_TRUE(journal->beats.empty());
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
}

TEST_F(HeartBeatTest, AFailingInstanceEndsOnlyItsTick) {
    Document a = camDocument("Part A");
    qrvn::sim::addSetup(a, "Print 1", svxOne);
    Document b = camDocument("Part B");
    qrvn::sim::addSetup(b, "Print 1", svxTwo);
    start();
    journal->failIn = "onHeartBeat";
    const Entry failed{"MyHeartBeatEventHandler::notify", "Failed onHeartBeat failed"};
    ASSERT_TRUE(qrvn::sim::runUntil([&] { return log.count(failed) >= 2; }, milliseconds(5000)));
    framework->stop();
    qrvn::sim::pump();
    // The first instance throws on every beat, so the second never gets one,
    // and every beat still comes.
    EXPECT_EQ(log.count(failed), ticks());
    EXPECT_EQ(journal->beats.size(), ticks());
    EXPECT_EQ(std::count(journal->beats.begin(), journal->beats.end(), journal->beats.front()),
              static_cast<std::ptrdiff_t>(journal->beats.size()));
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
}

}  // namespace
}  // namespace exmi_test
