#include "simhost/sim/event_loop.h"

#include <algorithm>

#include "simhost/impl/event_queue.h"

namespace qrvn {
namespace sim {

using impl::EventQueue;

size_t pump() { return EventQueue::instance().pumpUntilIdle(); }

void runFor(std::chrono::milliseconds duration) {
    const auto deadline = EventQueue::Clock::now() + duration;
    while (EventQueue::Clock::now() < deadline) EventQueue::instance().waitAndRun(deadline);
}

bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = EventQueue::Clock::now() + timeout;
    const auto slice = std::chrono::milliseconds(10);
    while (true) {
        EventQueue::instance().pumpUntilIdle();
        if (condition()) return true;
        const auto now = EventQueue::Clock::now();
        if (now >= deadline) return false;
        EventQueue::instance().waitAndRun(std::min(deadline, now + slice));
        if (condition()) return true;
    }
}

void post(std::function<void()> task) { EventQueue::instance().post(std::move(task)); }

size_t pending() { return EventQueue::instance().pending(); }

}  // namespace sim
}  // namespace qrvn
