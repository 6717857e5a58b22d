// The host's user-interface thread loop, pumped by tests and the demo on the
// thread that started the host. Work reaches it through the event queue:
// custom events fired from any thread, palette navigations, posted tasks.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

namespace qrvn {
namespace sim {

// Runs queued work until the queue is empty; returns how much ran.
size_t pump();
// Runs queued work as it arrives, for `duration`.
void runFor(std::chrono::milliseconds duration);
// Runs queued work until `condition` holds or `timeout` passes; returns
// whether the condition held. The condition is checked after every piece of
// work and at least every 10 ms.
bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
// Queues a task for the UI thread (any thread).
void post(std::function<void()> task);
// Number of queued pieces of work (any thread).
size_t pending();

}  // namespace sim
}  // namespace qrvn
