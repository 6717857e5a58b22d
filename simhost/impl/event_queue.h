// EventQueue: the queue of work for the host's user-interface thread. Any
// thread may post (that is how fireCustomEvent and asynchronous palette
// navigations reach the UI thread); only the UI thread runs the tasks, when
// it pumps. One process-wide queue; a mutex and a condition variable guard it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace qrvn {
namespace impl {

class EventQueue {
public:
    using Clock = std::chrono::steady_clock;

    static EventQueue& instance();

    // Any thread.
    void post(std::function<void()> task);
    size_t pending();
    void clear();

    // UI thread. Runs tasks until the queue is empty (tasks posted while
    // running are run too, up to `limit` tasks). Returns how many ran.
    size_t pumpUntilIdle(size_t limit = 100000);
    // UI thread. Waits until a task is queued or the deadline passes; runs
    // the tasks that are queued then. Returns how many ran.
    size_t waitAndRun(Clock::time_point deadline);

private:
    EventQueue() = default;
    bool runOne();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace impl
}  // namespace qrvn
