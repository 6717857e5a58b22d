// HostState: the process-wide state of the simulated host: which
// application is running (none in "no application" mode), the thread that
// is the host's user-interface thread, the last error per thread, scripted
// failures of host operations, and the record of handler failures and event
// deliveries. The running application is read from any thread under a
// mutex; everything else is used on the user-interface thread except where
// noted.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/core/base.h"

namespace qrvn {
namespace core {
class Application;
}
namespace impl {

class ApplicationImpl;

class HostState {
public:
    static HostState& instance();

    // Any thread.
    core::Ptr<ApplicationImpl> application();
    void setApplication(core::Ptr<ApplicationImpl> application);

    std::thread::id uiThread();
    void setUiThread(std::thread::id id);
    bool onUiThread();

    // Last error of the calling thread (any thread).
    void setLastError(int code, const std::string& description);
    void clearLastError();
    int lastError(std::string* description);

    // Scripted failures: the next `times` calls (-1: every call) of the
    // operation named "Class::method" fail with `description`.
    void failOperation(const std::string& operation, int times, const std::string& description);
    void clearFailures();
    // True when the operation is scripted to fail now; then the last error is set.
    bool shouldFail(const std::string& operation);

    // Exceptions that escaped add-in handlers (any thread).
    void recordHandlerFailure(const std::string& eventName, const std::string& what);
    std::vector<std::string> handlerFailures();
    // Deliveries of events that happened off the user-interface thread.
    void recordDelivery(const std::string& eventName);
    std::vector<std::string> offThreadDeliveries();

    void resetDiagnostics();

private:
    HostState() = default;
    struct Failure {
        int times;
        std::string description;
    };
    std::mutex mutex_;
    core::Ptr<ApplicationImpl> application_;
    std::thread::id uiThread_;
    std::map<std::string, Failure> failures_;
    std::vector<std::string> handlerFailures_;
    std::vector<std::string> offThreadDeliveries_;
};

// Shorthands for the implementation classes.
void setLastError(int code, const std::string& description);
void clearLastError();
bool scriptedFailure(const std::string& operation);

}  // namespace impl
}  // namespace qrvn
