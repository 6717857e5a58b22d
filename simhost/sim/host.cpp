#include "simhost/sim/host.h"

#include <thread>

#include "simhost/impl/application_impl.h"
#include "simhost/impl/event_queue.h"
#include "simhost/impl/host_state.h"

namespace qrvn {
namespace sim {

void reset(const HostOptions& options) {
    auto& state = impl::HostState::instance();
    impl::EventQueue::instance().clear();
    state.resetDiagnostics();
    state.setUiThread(std::this_thread::get_id());
    state.clearLastError();
    state.setApplication(options.withApplication ? impl::ApplicationImpl::create(options.withUserInterface)
                                                 : core::Ptr<impl::ApplicationImpl>());
}

void shutdown() {
    auto& state = impl::HostState::instance();
    state.setApplication(core::Ptr<impl::ApplicationImpl>());
    impl::EventQueue::instance().clear();
    state.clearFailures();
}

void failOperation(const std::string& operation, int times, const std::string& description) {
    impl::HostState::instance().failOperation(operation, times, description);
}

void clearFailures() { impl::HostState::instance().clearFailures(); }

std::vector<std::string> handlerFailures() { return impl::HostState::instance().handlerFailures(); }

std::vector<std::string> offThreadDeliveries() { return impl::HostState::instance().offThreadDeliveries(); }

}  // namespace sim
}  // namespace qrvn
