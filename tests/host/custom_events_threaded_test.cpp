// Custom events: fired from any thread, delivered later on the host's UI
// thread, and only while the event is registered and the handler added.
// These tests run a second thread (CTest label "threaded").
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/host/recorders.h"

namespace hosttest {
namespace {

using namespace qrvn;
using namespace std::chrono_literals;

class CountingHandler : public core::CustomEventHandler {
public:
    void notify(const Ptr<core::CustomEventArgs>& args) override {
        if (std::this_thread::get_id() != uiThread) offThread++;
        infos.push_back(args ? args->additionalInfo() : "<no args>");
    }
    std::thread::id uiThread = std::this_thread::get_id();
    std::vector<std::string> infos;
    int offThread = 0;
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

TEST_F(CustomEventsTest, FireFromAnotherThreadIsDeliveredInOrderOnTheUiThread) {
    auto event = app()->registerCustomEvent("Stratavox AddIn/0123");
    ASSERT_TRUE(event);
    EXPECT_EQ(event->eventId(), "Stratavox AddIn/0123");
    CountingHandler handler;
    ASSERT_TRUE(event->add(&handler));

    constexpr int fires = 50;
    std::atomic<int> accepted{0};
    std::thread worker([&accepted] {
        for (int i = 0; i < fires; ++i) {
            auto application = core::Application::get();
            if (application && application->fireCustomEvent("Stratavox AddIn/0123", std::to_string(i))) accepted++;
        }
    });
    EXPECT_TRUE(sim::runUntil([&] { return handler.infos.size() == fires; }, 5000ms));
    worker.join();
    sim::pump();
    EXPECT_EQ(accepted.load(), fires);
    ASSERT_EQ(handler.infos.size(), static_cast<size_t>(fires));
    EXPECT_EQ(handler.infos.front(), "0");
    EXPECT_EQ(handler.infos.back(), std::to_string(fires - 1));
    EXPECT_EQ(handler.offThread, 0);
    EXPECT_TRUE(sim::offThreadDeliveries().empty());
    event->remove(&handler);
}

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

TEST_F(CustomEventsTest, RunUntilDeliversPostedWorkAndGivesUpAtTheDeadline) {
    std::atomic<bool> delivered{false};
    std::thread::id where;
    std::thread worker([&] {
        sim::post([&] {
            where = std::this_thread::get_id();
            delivered = true;
        });
    });
    worker.join();
    EXPECT_TRUE(sim::runUntil([&] { return delivered.load(); }, 2000ms));
    EXPECT_EQ(where, std::this_thread::get_id());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(sim::runUntil([] { return false; }, 50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

}  // namespace
}  // namespace hosttest
