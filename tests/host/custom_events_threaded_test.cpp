// Custom events fired from another thread: queued, delivered in order on the
// host's UI thread when it pumps, and only while the event is registered,
// the handler added and the host the one they were fired on. Runs a second
// thread (CTest label "threaded").
#include <functional>
#include <thread>

#include "tests/host/host_test.h"

namespace hosttest {
namespace {

using namespace qrvn;

class CountingHandler : public core::CustomEventHandler {
public:
    void notify(const core::Ptr<core::CustomEventArgs>& args) override {
        infos.push_back(args ? args->additionalInfo() : "<no args>");
    }
    std::vector<std::string> infos;
};

using Infos = std::vector<std::string>;

// Fires `id` once per info from a second thread and waits for that thread.
void fireFromWorker(const std::string& id, const Infos& infos) {
    auto application = core::Application::get();
    std::thread worker([&] {
        for (const auto& info : infos) application->fireCustomEvent(id, info);
    });
    worker.join();
}

TEST_F(HostTest, CustomEventsFromAnotherThreadArriveInOrderWhenTheUiThreadPumps) {
    EXPECT_FALSE(app()->fireCustomEvent("unknown", ""));
    auto event = app()->registerCustomEvent("tick");
    ASSERT_TRUE(event);
    EXPECT_FALSE(app()->registerCustomEvent("tick"));
    CountingHandler handler;
    event->add(&handler);
    fireFromWorker("tick", {"1", "2", "3"});
    EXPECT_TRUE(handler.infos.empty()) << "nothing is delivered until the UI thread pumps";
    EXPECT_EQ(sim::pump(), 3u);
    EXPECT_EQ(handler.infos, (Infos{"1", "2", "3"}));

    const struct {
        const char* what;
        std::function<void()> between;  // after the fire, before the pump
    } drops[] = {
        {"removed handler", [&] { event->remove(&handler); }},
        {"replaced host", [&] { sim::reset(); }},
    };
    for (const auto& d : drops) {
        fireFromWorker("tick", {d.what});
        d.between();
        sim::pump();
        event->add(&handler);
        EXPECT_EQ(handler.infos.size(), 3u) << d.what;
    }

    event = app()->registerCustomEvent("tock");
    event->add(&handler);
    fireFromWorker("tock", {"queued"});
    ASSERT_TRUE(app()->unregisterCustomEvent("tock"));
    sim::pump();
    EXPECT_EQ(handler.infos.size(), 3u) << "fires queued before unregistration are dropped";
    EXPECT_FALSE(app()->fireCustomEvent("tock", ""));
    event->remove(&handler);
}

}  // namespace
}  // namespace hosttest
