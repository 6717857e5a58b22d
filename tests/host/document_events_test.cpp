// The host's own document operations fire the document and workspace events
// in the documented order, with the active document switching at the right
// moment; handlers may be removed during delivery.
#include "tests/host/recorders.h"

namespace hosttest {
namespace {

using namespace qrvn;

class DocumentEventsTest : public HostTest {};

TEST_F(DocumentEventsTest, FirstNewDocumentIsCreatedThenActivated) {
    EventLog log;
    HostEventRecorders recorders(log);
    auto doc = sim::newDocument("A");
    EXPECT_EQ(log, (EventLog{"created:A", "activating:A", "activated:A"}));
    EXPECT_TRUE(doc->isActive());
    EXPECT_EQ(app()->activeDocument(), doc);
}

TEST_F(DocumentEventsTest, NewDocumentDeactivatesThePreviousOne) {
    auto a = sim::newDocument("A");
    EventLog log;
    HostEventRecorders recorders(log);
    auto b = sim::newDocument("B");
    EXPECT_EQ(log, (EventLog{"deactivating:A", "created:B", "activating:B", "deactivated:A", "activated:B"}));
    EXPECT_FALSE(a->isActive());
    EXPECT_TRUE(b->isActive());
    EXPECT_EQ(app()->documents()->count(), 2u);
}

// Which document is active while each event is delivered.
class ActiveDocumentProbe : public core::DocumentEventHandler {
public:
    explicit ActiveDocumentProbe(EventLog& log) : log_(log) {}
    void notify(const Ptr<core::DocumentEventArgs>&) override {
        auto active = core::Application::get()->activeDocument();
        log_.push_back(active ? active->name() : "<none>");
    }
    EventLog& log_;
};

TEST_F(DocumentEventsTest, ActiveDocumentSwitchesBetweenActivatingAndActivated) {
    auto a = sim::newDocument("A");
    auto b = sim::newDocument("B");
    EventLog seen;
    ActiveDocumentProbe probe(seen);
    app()->documentActivating()->add(&probe);
    app()->documentActivated()->add(&probe);
    ASSERT_TRUE(a->activate());
    EXPECT_EQ(seen, (EventLog{"B", "A"}));
    app()->documentActivating()->remove(&probe);
    app()->documentActivated()->remove(&probe);
}

TEST_F(DocumentEventsTest, ActivatingAnotherDocumentAndReactivatingTheActiveOne) {
    auto a = sim::newDocument("A");
    auto b = sim::newDocument("B");
    EventLog log;
    HostEventRecorders recorders(log);
    ASSERT_TRUE(sim::activateDocument(a));
    EXPECT_EQ(log, (EventLog{"deactivating:B", "activating:A", "deactivated:B", "activated:A"}));
    log.clear();
    ASSERT_TRUE(a->activate());
    EXPECT_TRUE(log.empty()) << "activating the active document fires nothing";
}

TEST_F(DocumentEventsTest, OpeningASavedDocumentFiresOpened) {
    auto a = sim::newDocument("A");
    auto saved = sim::saveDocument(a);
    EventLog log;
    HostEventRecorders recorders(log);
    auto copy = sim::openDocument(saved);
    EXPECT_EQ(log, (EventLog{"deactivating:A", "opened:A", "activating:A", "deactivated:A", "activated:A"}));
    EXPECT_NE(copy, a);
    EXPECT_TRUE(copy->isActive());
    EXPECT_TRUE(copy->isSaved());
}

TEST_F(DocumentEventsTest, ClosingTheActiveDocumentActivatesTheMostRecentlyActiveOther) {
    auto a = sim::newDocument("A");
    auto b = sim::newDocument("B");
    auto c = sim::newDocument("C");
    ASSERT_TRUE(a->activate());
    ASSERT_TRUE(c->activate());
    EventLog log;
    HostEventRecorders recorders(log);
    ASSERT_TRUE(c->close(false));
    EXPECT_EQ(log, (EventLog{"closing:C", "closed:C", "activating:A", "activated:A"}));
    EXPECT_FALSE(c->isValid());
    EXPECT_FALSE(c->isActive());
    EXPECT_TRUE(a->isActive());
    EXPECT_EQ(app()->documents()->count(), 2u);
    EXPECT_FALSE(c->activate()) << "a closed document cannot be activated";
}

TEST_F(DocumentEventsTest, ClosingAnInactiveOrTheLastDocument) {
    auto a = sim::newDocument("A");
    auto b = sim::newDocument("B");
    EventLog log;
    HostEventRecorders recorders(log);
    ASSERT_TRUE(a->close(false));
    EXPECT_EQ(log, (EventLog{"closing:A", "closed:A"}));
    log.clear();
    ASSERT_TRUE(b->close(false));
    EXPECT_EQ(log, (EventLog{"closing:B", "closed:B"}));
    EXPECT_FALSE(app()->activeDocument());
    EXPECT_EQ(app()->documents()->count(), 0u);
}

TEST_F(DocumentEventsTest, DocumentIsStillOpenAndValidWhileClosingIsDelivered) {
    auto a = sim::newDocument("A");
    struct Probe : core::DocumentEventHandler {
        bool valid = false, listed = false, active = false;
        void notify(const Ptr<core::DocumentEventArgs>& args) override {
            valid = args->document()->isValid();
            active = args->document()->isActive();
            auto docs = core::Application::get()->documents();
            for (size_t i = 0; i < docs->count(); ++i) listed = listed || docs->item(i) == args->document();
        }
    } probe;
    app()->documentClosing()->add(&probe);
    a->close(false);
    app()->documentClosing()->remove(&probe);
    EXPECT_TRUE(probe.valid);
    EXPECT_TRUE(probe.listed);
    EXPECT_TRUE(probe.active);
}

TEST_F(DocumentEventsTest, ActivatingADocumentShowsTheWorkspaceItWasLastShownIn) {
    auto a = sim::newDocument("A");
    ASSERT_TRUE(sim::activateWorkspace("CAMEnvironment"));
    auto b = sim::newDocument("B");
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment") << "a new document opens in design";
    EventLog log;
    HostEventRecorders recorders(log);
    ASSERT_TRUE(a->activate());
    EXPECT_EQ(log, (EventLog{"deactivating:B", "activating:A", "deactivated:B",
                             "wsPreDeactivate:KalvixSolidEnvironment", "wsPreActivate:CAMEnvironment",
                             "wsDeactivated:KalvixSolidEnvironment", "wsActivated:CAMEnvironment", "activated:A"}));
    EXPECT_EQ(sim::activeWorkspaceId(), "CAMEnvironment");
}

// Removes itself, and optionally another handler, when notified.
class RemovingHandler : public core::DocumentEventHandler {
public:
    RemovingHandler(EventLog& log, std::string name, Ptr<core::DocumentEvent> event)
        : log_(log), name_(std::move(name)), event_(std::move(event)) {}
    void notify(const Ptr<core::DocumentEventArgs>&) override {
        log_.push_back(name_);
        event_->remove(this);
        if (other) event_->remove(other);
    }
    core::DocumentEventHandler* other = nullptr;

private:
    EventLog& log_;
    std::string name_;
    Ptr<core::DocumentEvent> event_;
};

TEST_F(DocumentEventsTest, HandlerRemovedDuringDeliveryIsNotCalled) {
    auto event = app()->documentCreated();
    EventLog log;
    RemovingHandler first(log, "first", event);
    DocumentRecorder second(log, "second");
    first.other = &second;
    ASSERT_TRUE(event->add(&first));
    ASSERT_TRUE(event->add(&second));
    EXPECT_FALSE(event->add(&second)) << "a handler is added once";
    sim::newDocument("A");
    EXPECT_EQ(log, (EventLog{"first"}));
    EXPECT_EQ(event->handlerCount(), 0u);
    sim::newDocument("B");
    EXPECT_EQ(log, (EventLog{"first"}));
    EXPECT_FALSE(event->remove(&second));
}

TEST_F(DocumentEventsTest, EventWithoutArgumentsReachesHandlers) {
    EventLog log;
    HostEventRecorders recorders(log);
    app()->documentOpened()->fire(Ptr<core::DocumentEventArgs>());
    ui()->workspaceActivated()->fire(Ptr<core::WorkspaceEventArgs>());
    EXPECT_EQ(log, (EventLog{"opened:<no args>", "wsActivated:<no args>"}));
}

TEST_F(DocumentEventsTest, ExceptionFromAHandlerStaysInTheHost) {
    struct Throwing : core::DocumentEventHandler {
        void notify(const Ptr<core::DocumentEventArgs>&) override { throw std::runtime_error("boom"); }
    } throwing;
    EventLog log;
    DocumentRecorder after(log, "after");
    app()->documentCreated()->add(&throwing);
    app()->documentCreated()->add(&after);
    EXPECT_NO_THROW(sim::newDocument("A"));
    EXPECT_EQ(log, (EventLog{"after:A"}));
    EXPECT_EQ(sim::handlerFailures(), (std::vector<std::string>{"documentCreated: boom"}));
    app()->documentCreated()->remove(&throwing);
    app()->documentCreated()->remove(&after);
}

}  // namespace
}  // namespace hosttest
