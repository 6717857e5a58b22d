// The simulated host's lifetime and diagnostics, for tests, the demo and
// benchmarks (add-in code never includes host/sim/).
//
// A Session (or reset()) starts a fresh host on the calling thread, which
// becomes the host's user-interface thread: the event queue is emptied,
// scripted failures and diagnostics are cleared, and a new application (with
// or without user interface) is created, or none at all.
#pragma once

#include <string>
#include <vector>

namespace qrvn {
namespace sim {

struct HostOptions {
    // false: Application::get() returns an empty handle.
    bool withApplication = true;
    // false: Application::userInterface() returns an empty handle.
    bool withUserInterface = true;
};

void reset(const HostOptions& options = HostOptions());
// Ends the host: no application, empty event queue.
void shutdown();

// RAII form for test fixtures: reset() on construction, shutdown() on
// destruction.
class Session {
public:
    explicit Session(const HostOptions& options = HostOptions()) { reset(options); }
    ~Session() { shutdown(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// Makes the next `times` calls (-1: all calls) of a host operation fail: it
// returns an empty handle or false and sets the last error to `description`.
// Operations are named "Class::method", e.g.
// "CommandDefinitions::addButtonDefinition", "UserInterface::allToolbarPanels",
// "Application::registerCustomEvent", "Document::attributes", "CAM::setups".
void failOperation(const std::string& operation, int times = -1, const std::string& description = "");
void clearFailures();

// Exceptions that escaped add-in event handlers ("event: what"), in order.
std::vector<std::string> handlerFailures();
// Names of events delivered on a thread other than the UI thread.
std::vector<std::string> offThreadDeliveries();

}  // namespace sim
}  // namespace qrvn
