// The heartbeat: a background thread fires the host's custom event about
// once a second; the host delivers it on the UI thread, where every machine
// instance gets onHeartBeat. Real time: these tests pump the host until a
// condition holds or a deadline passes.
#include <algorithm>
#include <chrono>
#include <thread>

#include "tests/exmi/framework_fixture.h"

namespace exmi_test {
namespace {

using std::chrono::milliseconds;
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

    ASSERT_TRUE(qrvn::sim::runUntil([&] { return journal->beats.size() >= 6; }, milliseconds(8000)));
    framework->stop();
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

TEST_F(HeartBeatTest, EventIdIsRegisteredWhileRunningAndABeatWithoutInstancesOnlyLogsItsEntryLine) {
    start();
    // The add-in's name and a random identifier; the host refuses it twice.
    const std::string id = impl().getHeartBeat().getEventId();
    ASSERT_EQ(id.size(), std::string("Stratavox AddIn/").size() + 32);
    EXPECT_EQ(id.compare(0, 16, "Stratavox AddIn/"), 0);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef", 16), std::string::npos);
    EXPECT_FALSE(qrvn::core::Application::get()->registerCustomEvent(id));

    log.mark();
    ASSERT_TRUE(qrvn::sim::runUntil([&] { return ticks() >= 2; }, milliseconds(5000)));
    for (const Entry& entry : log.since()) EXPECT_EQ(entry, (Entry{"EXMIimpl::onHeartBeat", ""}));

    const Clock::time_point before = Clock::now();
    framework->stop();
    EXPECT_LT(Clock::now() - before, milliseconds(1000));
    // Stop is prompt and the custom event is gone: its id can be registered afresh.
    EXPECT_TRUE(qrvn::core::Application::get()->registerCustomEvent(id));
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

TEST_F(HeartBeatTest, FrameworkReleasedWithoutStopEndsItsThread) {
    Document a = camDocument("Part A");
    qrvn::sim::addSetup(a, "Print 1", svxOne);
    start();
    ASSERT_TRUE(qrvn::sim::runUntil([&] { return !journal->beats.empty(); }, milliseconds(5000)));
    const std::string eventId = impl().getHeartBeat().getEventId();
    framework.reset();
    // The thread has ended and the custom event is gone with the framework.
    EXPECT_EQ(log.count({"heartBeatThreadFunc", "DONE"}), 1u);
    EXPECT_TRUE(qrvn::core::Application::get()->registerCustomEvent(eventId));
    const size_t beats = journal->beats.size();
    qrvn::sim::pump();
    EXPECT_EQ(journal->beats.size(), beats);
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
}

}  // namespace
}  // namespace exmi_test
