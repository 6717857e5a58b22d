// Event delivery: handlers may be removed during delivery, may be fired
// without arguments, and may throw without the exception leaving the host.
// The order of the document and workspace events is checked through the
// framework's registry tests, which depend on it.
#include "tests/host/recorders.h"

namespace hosttest {
namespace {

using namespace qrvn;

class DocumentEventsTest : public HostTest {};

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
