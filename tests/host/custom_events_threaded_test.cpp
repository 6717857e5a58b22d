// Custom events: fired from any thread, delivered later on the host's UI
// thread, and only while the event is registered and the handler added.
// These tests run a second thread (CTest label "threaded"). Delivery in order
// on the UI thread and runUntil's deadline are checked by the heartbeat tests.
#include <thread>

#include "tests/host/recorders.h"

namespace hosttest {
namespace {

using namespace qrvn;

class CountingHandler : public core::CustomEventHandler {
public:
    void notify(const Ptr<core::CustomEventArgs>& args) override {
        infos.push_back(args ? args->additionalInfo() : "<no args>");
    }
    std::vector<std::string> infos;
};

// Fires `id` `times` times from a second thread and waits for that thread.
void fireFromWorker(const Ptr<core::Application>& application, const std::string& id, const std::string& info,
                    int times = 1) {
    std::thread worker([=] {
        for (int i = 0; i < times; ++i) application->fireCustomEvent(id, info);
    });
    worker.join();
}

class CustomEventsTest : public HostTest {};

TEST_F(CustomEventsTest, FireOnlyQueuesAndNothingReachesARemovedHandlerOrAReplacedHost) {
    auto event = app()->registerCustomEvent("tick");
    CountingHandler handler;
    event->add(&handler);
    fireFromWorker(app(), "tick", "x");
    EXPECT_TRUE(handler.infos.empty()) << "nothing is delivered until the UI thread pumps";
    EXPECT_EQ(sim::pending(), 1u);
    EXPECT_EQ(sim::pump(), 1u);
    EXPECT_EQ(handler.infos, (std::vector<std::string>{"x"}));

    fireFromWorker(app(), "tick", "late");
    event->remove(&handler);
    sim::pump();
    EXPECT_EQ(handler.infos, (std::vector<std::string>{"x"}));

    event->add(&handler);
    fireFromWorker(app(), "tick", "old");
    sim::reset();
    sim::pump();
    EXPECT_EQ(handler.infos, (std::vector<std::string>{"x"})) << "fires of a replaced host are dropped";
    event->remove(&handler);
}

TEST_F(CustomEventsTest, RegistrationIsUniqueAndUnregisteredIdsDropTheirFires) {
    EXPECT_FALSE(app()->fireCustomEvent("unknown", ""));
    EXPECT_EQ(app()->getLastError(), core::ObjectNotFoundError);
    EXPECT_EQ(sim::pending(), 0u);

    auto event = app()->registerCustomEvent("tick");
    ASSERT_TRUE(event);
    EXPECT_FALSE(app()->registerCustomEvent("tick"));
    EXPECT_EQ(app()->getLastError(), core::AlreadyExistsError);
    sim::failOperation("Application::registerCustomEvent", 1);
    EXPECT_FALSE(app()->registerCustomEvent("other"));
    EXPECT_TRUE(app()->registerCustomEvent("other"));

    CountingHandler handler;
    event->add(&handler);
    fireFromWorker(app(), "tick", "queued", 3);
    ASSERT_TRUE(app()->unregisterCustomEvent("tick"));
    EXPECT_EQ(sim::pump(), 3u);
    EXPECT_TRUE(handler.infos.empty()) << "fires queued before unregistration are dropped";
    EXPECT_FALSE(app()->fireCustomEvent("tick", ""));
    EXPECT_FALSE(app()->unregisterCustomEvent("tick"));
    event->remove(&handler);
}

}  // namespace
}  // namespace hosttest
