// The host's document operations fire the document and workspace events in
// the documented order, switching the active document at the right moment;
// handlers may be removed during delivery and may throw.
#include "tests/host/recorders.h"

namespace hosttest {
namespace {

using namespace qrvn;

class DocumentEventsTest : public HostTest {};

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

TEST_F(DocumentEventsTest, NewAndActivatedDocumentsFireTheirEventsInOrder) {
    EventLog log;
    HostEventRecorders recorders(log);
    auto a = sim::newDocument("A");
    EXPECT_EQ(log, (EventLog{"created:A", "activating:A", "activated:A"}));
    EXPECT_EQ(app()->activeDocument(), a);
    log.clear();
    auto b = sim::newDocument("B");
    EXPECT_EQ(log, (EventLog{"deactivating:A", "created:B", "activating:B", "deactivated:A", "activated:B"}));
    EXPECT_FALSE(a->isActive());
    EXPECT_TRUE(b->isActive());
    EXPECT_EQ(app()->documents()->count(), 2u);

    log.clear();
    EventLog seen;
    ActiveDocumentProbe probe(seen);
    app()->documentActivating()->add(&probe);
    app()->documentActivated()->add(&probe);
    ASSERT_TRUE(sim::activateDocument(a));
    app()->documentActivating()->remove(&probe);
    app()->documentActivated()->remove(&probe);
    EXPECT_EQ(log, (EventLog{"deactivating:B", "activating:A", "deactivated:B", "activated:A"}));
    EXPECT_EQ(seen, (EventLog{"B", "A"})) << "the active document switches between activating and activated";
    log.clear();
    ASSERT_TRUE(a->activate());
    EXPECT_TRUE(log.empty()) << "activating the active document fires nothing";
}

TEST_F(DocumentEventsTest, ClosingActivatesTheMostRecentlyActiveOther) {
    auto a = sim::newDocument("A");
    auto b = sim::newDocument("B");
    auto c = sim::newDocument("C");
    ASSERT_TRUE(a->activate());
    ASSERT_TRUE(c->activate());
    EventLog log;
    HostEventRecorders recorders(log);
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
    ASSERT_TRUE(c->close(false));
    app()->documentClosing()->remove(&probe);
    EXPECT_EQ(log, (EventLog{"closing:C", "closed:C", "activating:A", "activated:A"}));
    EXPECT_TRUE(probe.valid && probe.listed && probe.active) << "still open, valid and active while closing";
    EXPECT_FALSE(c->isValid());
    EXPECT_FALSE(c->isActive());
    EXPECT_TRUE(a->isActive());
    EXPECT_FALSE(c->activate()) << "a closed document cannot be activated";

    log.clear();
    ASSERT_TRUE(b->close(false));
    EXPECT_EQ(log, (EventLog{"closing:B", "closed:B"})) << "closing an inactive document changes no activation";
    log.clear();
    ASSERT_TRUE(a->close(false));
    EXPECT_EQ(log, (EventLog{"closing:A", "closed:A"}));
    EXPECT_FALSE(app()->activeDocument());
    EXPECT_EQ(app()->documents()->count(), 0u);
}

TEST_F(DocumentEventsTest, SavedDocumentsReopenWithOpenedOrAsNewCopies) {
    auto a = sim::newDocument("A");
    auto saved = sim::saveDocument(a);
    EventLog log;
    HostEventRecorders recorders(log);
    auto copy = sim::openDocument(saved);
    EXPECT_EQ(log, (EventLog{"deactivating:A", "opened:A", "activating:A", "deactivated:A", "activated:A"}));
    EXPECT_NE(copy, a);
    EXPECT_TRUE(copy->isActive());
    EXPECT_TRUE(copy->isSaved());
    log.clear();
    sim::newDocumentFrom(saved, "A v2");
    EXPECT_EQ(log, (EventLog{"deactivating:A", "created:A v2", "activating:A v2", "deactivated:A", "activated:A v2"}));
}

TEST_F(DocumentEventsTest, WorkspaceSwitchesFireInOrderAndFollowTheDocument) {
    auto a = sim::newDocument("A");
    EventLog log;
    HostEventRecorders recorders(log);
    auto cam = ui()->workspaces()->itemById("CAMEnvironment");
    ASSERT_TRUE(cam->activate());
    EXPECT_EQ(log, (EventLog{"wsPreDeactivate:KalvixSolidEnvironment", "wsPreActivate:CAMEnvironment",
                             "wsDeactivated:KalvixSolidEnvironment", "wsActivated:CAMEnvironment"}));
    EXPECT_TRUE(cam->isActive());
    EXPECT_EQ(ui()->activeWorkspace(), cam);
    EXPECT_EQ(app()->activeProduct(), camOf(a));
    log.clear();
    ASSERT_TRUE(cam->activate());
    EXPECT_TRUE(log.empty()) << "the active workspace is not entered again";
    EXPECT_FALSE(ui()->workspaces()->itemById("camenvironment")) << "workspace ids are case-sensitive";

    auto b = sim::newDocument("B");
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment") << "a new document opens in design";
    log.clear();
    ASSERT_TRUE(a->activate());
    EXPECT_EQ(log, (EventLog{"deactivating:B", "activating:A", "deactivated:B",
                             "wsPreDeactivate:KalvixSolidEnvironment", "wsPreActivate:CAMEnvironment",
                             "wsDeactivated:KalvixSolidEnvironment", "wsActivated:CAMEnvironment", "activated:A"}))
        << "a document comes back in the workspace it was last shown in";
}

// Removes itself, and optionally another handler, when notified.
class RemovingHandler : public core::DocumentEventHandler {
public:
    RemovingHandler(EventLog& log, Ptr<core::DocumentEvent> event) : log_(log), event_(std::move(event)) {}
    void notify(const Ptr<core::DocumentEventArgs>&) override {
        log_.push_back("first");
        event_->remove(this);
        if (other) event_->remove(other);
    }
    core::DocumentEventHandler* other = nullptr;

private:
    EventLog& log_;
    Ptr<core::DocumentEvent> event_;
};

TEST_F(DocumentEventsTest, HandlerRemovedDuringDeliveryIsNotCalled) {
    auto event = app()->documentCreated();
    EventLog log;
    RemovingHandler first(log, event);
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

TEST_F(DocumentEventsTest, MissingArgumentsAndThrowingHandlersStayInTheHost) {
    EventLog log;
    {
        HostEventRecorders recorders(log);
        app()->documentOpened()->fire(Ptr<core::DocumentEventArgs>());
        ui()->workspaceActivated()->fire(Ptr<core::WorkspaceEventArgs>());
    }
    EXPECT_EQ(log, (EventLog{"opened:<no args>", "wsActivated:<no args>"}));

    struct Throwing : core::DocumentEventHandler {
        void notify(const Ptr<core::DocumentEventArgs>&) override { throw std::runtime_error("boom"); }
    } throwing;
    log.clear();
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
