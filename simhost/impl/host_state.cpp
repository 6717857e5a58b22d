#include "simhost/impl/host_state.h"

#include "host/core/application.h"
#include "host/core/events.h"

namespace qrvn {
namespace impl {

namespace {
struct LastError {
    int code = 0;
    std::string description;
};
thread_local LastError lastErrorOfThread;
}  // namespace

HostState& HostState::instance() {
    static HostState state;
    return state;
}

core::Ptr<ApplicationImpl> HostState::application() {
    std::lock_guard<std::mutex> lock(mutex_);
    return application_;
}

void HostState::setApplication(core::Ptr<ApplicationImpl> application) {
    core::Ptr<ApplicationImpl> previous;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        previous = application_;
        application_ = std::move(application);
    }
    // `previous` is released here, outside the lock.
}

std::thread::id HostState::uiThread() {
    std::lock_guard<std::mutex> lock(mutex_);
    return uiThread_;
}

void HostState::setUiThread(std::thread::id id) {
    std::lock_guard<std::mutex> lock(mutex_);
    uiThread_ = id;
}

bool HostState::onUiThread() { return std::this_thread::get_id() == uiThread(); }

void HostState::setLastError(int code, const std::string& description) {
    lastErrorOfThread.code = code;
    lastErrorOfThread.description = description;
}

void HostState::clearLastError() { setLastError(0, std::string()); }

int HostState::lastError(std::string* description) {
    if (description) *description = lastErrorOfThread.description;
    return lastErrorOfThread.code;
}

void HostState::failOperation(const std::string& operation, int times, const std::string& description) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (times == 0) {
        failures_.erase(operation);
        return;
    }
    failures_[operation] = Failure{times, description};
}

void HostState::clearFailures() {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.clear();
}

bool HostState::shouldFail(const std::string& operation) {
    std::string description;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = failures_.find(operation);
        if (it == failures_.end()) return false;
        description = it->second.description;
        if (it->second.times > 0 && --it->second.times == 0) failures_.erase(it);
    }
    setLastError(core::OperationFailedError, description.empty() ? operation + " failed" : description);
    return true;
}

void HostState::recordHandlerFailure(const std::string& eventName, const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    handlerFailures_.push_back(eventName + ": " + what);
}

std::vector<std::string> HostState::handlerFailures() {
    std::lock_guard<std::mutex> lock(mutex_);
    return handlerFailures_;
}

void HostState::recordDelivery(const std::string& eventName) {
    if (onUiThread()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    offThreadDeliveries_.push_back(eventName);
}

std::vector<std::string> HostState::offThreadDeliveries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return offThreadDeliveries_;
}

void HostState::resetDiagnostics() {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.clear();
    handlerFailures_.clear();
    offThreadDeliveries_.clear();
}

void setLastError(int code, const std::string& description) { HostState::instance().setLastError(code, description); }

void clearLastError() { HostState::instance().clearLastError(); }

bool scriptedFailure(const std::string& operation) { return HostState::instance().shouldFail(operation); }

}  // namespace impl

namespace core {
namespace detail {

void reportHandlerFailure(const std::string& eventName, const std::string& what) {
    impl::HostState::instance().recordHandlerFailure(eventName, what);
}

void noteDelivery(const std::string& eventName) { impl::HostState::instance().recordDelivery(eventName); }

}  // namespace detail
}  // namespace core
}  // namespace qrvn
