#include "simhost/impl/event_queue.h"

namespace qrvn {
namespace impl {

EventQueue& EventQueue::instance() {
    static EventQueue queue;
    return queue;
}

void EventQueue::post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

size_t EventQueue::pending() {
    std::lock_guard<std::mutex> lock(mutex_);
    return tasks_.size();
}

void EventQueue::clear() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dropped.swap(tasks_);
    }
    // The dropped tasks (and what they captured) are released outside the lock.
}

bool EventQueue::runOne() {
    std::function<void()> task;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (tasks_.empty()) return false;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
    return true;
}

size_t EventQueue::pumpUntilIdle(size_t limit) {
    size_t ran = 0;
    while (ran < limit && runOne()) ++ran;
    return ran;
}

size_t EventQueue::waitAndRun(Clock::time_point deadline) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_until(lock, deadline, [this] { return !tasks_.empty(); });
        if (tasks_.empty()) return 0;
    }
    // Run only what is queued now, so a task that posts itself cannot keep
    // the caller from seeing its deadline.
    size_t available = pending();
    size_t ran = 0;
    while (ran < available && runOne()) ++ran;
    return ran;
}

}  // namespace impl
}  // namespace qrvn
