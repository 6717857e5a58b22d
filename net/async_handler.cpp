#include "net/async_handler.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

#include "net/http_connection.h"
#include "net/http_global.h"
#include "platform/module.h"
#include "support/log.h"

namespace EXMI {

// Shared by the handler and its workers, so that neither outlives what it
// touches: the count of running workers and the abort flag.
struct AsyncWorkerState {
    std::mutex mutex;
    std::condition_variable idle;
    size_t running = 0;
    std::atomic<bool> abort{false};
    std::function<void()> wake;

    // Under the mutex, so the destructor's clearing it cannot race a call.
    void wakeOwner() {
        std::lock_guard<std::mutex> lock(mutex);
        if (wake) wake();
    }
};

namespace {

using ResponsePromise = std::promise<std::shared_ptr<IAsyncResponse>>;

// The request's result, or its failure turned into an exception response.
std::shared_ptr<IAsyncResponse> executeCaught(const std::shared_ptr<IAsyncRequest>& request) {
    std::shared_ptr<IAsyncResponse> response;
    try {
        response = request->execute();
        if (!response) throw std::runtime_error("empty async response");
        response->request = request;
    } catch (const std::exception& error) {
        response = std::make_shared<IAsyncExceptionResponse>(error.what(), request);
    } catch (...) {
        response = std::make_shared<IAsyncExceptionResponse>("<unknown exception>", request);
    }
    return response;
}

void runRequest(std::shared_ptr<AsyncWorkerState> state, ResponsePromise promise,
                std::shared_ptr<IAsyncRequest> request) {
    {
        // Once the handler is gone nobody reads the result: skip the transfer.
        if (!state->abort.load()) {
            EXMIImpl::HttpAbortScope abortScope(&state->abort);
            promise.set_value(executeCaught(request));
            state->wakeOwner();
        }
        // Released before counting out, not at the thread's end: when the
        // handler stopped waiting, or the request never ran, these may be the
        // last references to the request, its callbacks and the result, whose
        // destructors are code of this library.
        ResponsePromise released(std::move(promise));
        request.reset();
    }
    std::lock_guard<std::mutex> lock(state->mutex);
    --state->running;
    state->idle.notify_all();
}

// Hands a dispatch failure to the request's onError. An onError that throws in
// turn must not cost the responses still waiting in the same batch, so its
// failure is logged and dropped.
void reportError(const IAsyncResponse& response, const std::string& text) {
    if (!response.request) return;
    const ErrorCallback onError = response.request->onError;
    if (!onError) return;
    try {
        onError(response.request.get(), text);
    } catch (const std::exception& error) {
        support::log(std::string("error callback failed: ") + error.what(), "IAsyncHandler::processResponses");
    } catch (...) {
        support::log("error callback failed", "IAsyncHandler::processResponses");
    }
}

}  // namespace

IAsyncHandler::IAsyncHandler(std::chrono::milliseconds deadline)
    : stopDeadline(deadline), workers(std::make_shared<AsyncWorkerState>()) {
    // libcurl's global set-up is not thread-safe; do it here, on the owner's
    // thread, before any worker can start a transfer.
    EXMIImpl::ensureCurlGlobalInit();
}

IAsyncHandler::~IAsyncHandler() {
    workers->abort.store(true);
    setWakeup(nullptr);
    const auto deadline = std::chrono::steady_clock::now() + stopDeadline;
    try {
        std::unique_lock<std::mutex> lock(workers->mutex);
        if (!workers->idle.wait_until(lock, deadline, [this] { return workers->running == 0; })) {
            support::log(std::to_string(workers->running) + " request(s) still running; left to finish on their own",
                         "IAsyncHandler::~IAsyncHandler");
            // The host may unload the library as soon as it has stopped us;
            // a worker that comes back later (a name lookup that blocked for
            // a long while) must still find its code mapped. Everything it
            // touches is its own or the shared record it keeps alive.
            platform::pinThisModule();
            return;
        }
    } catch (...) {
        // A destructor must not throw; the workers keep the shared record alive.
        return;
    }
    // A worker that has counted itself out still holds the shared record for
    // a moment; let it drop it so the record is destroyed here, not on it.
    while (workers.use_count() > 1 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
}

void IAsyncHandler::setWakeup(std::function<void()> wakeup) {
    std::lock_guard<std::mutex> lock(workers->mutex);
    workers->wake = std::move(wakeup);
}

int IAsyncHandler::addTick(std::function<void()> tick) {
    ticks.emplace_back(++lastTickId, std::move(tick));
    return lastTickId;
}

void IAsyncHandler::removeTick(int id) {
    ticks.remove_if([id](const std::pair<int, std::function<void()>>& entry) { return entry.first == id; });
}

void IAsyncHandler::setUserAgent(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    userAgent = text;
}

std::string IAsyncHandler::getUserAgent() const {
    std::lock_guard<std::mutex> lock(mutex);
    return userAgent;
}

void IAsyncHandler::submit(const std::shared_ptr<IAsyncRequest>& request, ResponseCallback onResponse,
                           ErrorCallback onError) {
    if (!request) throw std::runtime_error("invalid async request");
    request->userAgent = getUserAgent();
    request->onResponse = std::move(onResponse);
    request->onError = std::move(onError);
    // Weak: a request kept by its submitter must not keep the record alive,
    // which the destructor waits to be the last holder of.
    std::weak_ptr<AsyncWorkerState> state = workers;
    request->notifyOwner = [state] {
        if (const auto record = state.lock()) record->wakeOwner();
    };

    std::lock_guard<std::mutex> lock(mutex);
    ResponsePromise promise;
    pending.push_back(promise.get_future());
    {
        std::lock_guard<std::mutex> count(workers->mutex);
        ++workers->running;
    }
    try {
        std::thread(runRequest, workers, std::move(promise), request).detach();
    } catch (...) {
        // Without a worker the future would never become ready; drop it so
        // the list holds only results that will arrive.
        pending.pop_back();
        std::lock_guard<std::mutex> count(workers->mutex);
        --workers->running;
        throw;
    }
}

size_t IAsyncHandler::runningCount() const {
    std::lock_guard<std::mutex> lock(workers->mutex);
    return workers->running;
}

size_t IAsyncHandler::pendingCount() const {
    std::lock_guard<std::mutex> lock(mutex);
    return pending.size();
}

void IAsyncHandler::processResponses() {
    std::vector<std::shared_ptr<IAsyncResponse>> ready;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = pending.begin(); it != pending.end();) {
            if (it->wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                ++it;
                continue;
            }
            try {
                ready.push_back(it->get());
            } catch (const std::future_error&) {
                // A worker that never delivered: nothing to dispatch.
            }
            it = pending.erase(it);
        }
    }

    for (const auto& response : ready) {
        if (!response) continue;
        try {
            response->dispatch();
        } catch (const std::exception& error) {
            reportError(*response, error.what());
        } catch (...) {
            reportError(*response, "<Unknown Exception>");
        }
    }

    // A copy: a tick may add or remove ticks.
    const auto current = ticks;
    for (const auto& tick : current) {
        try {
            tick.second();
        } catch (const std::exception& error) {
            support::log(std::string("tick failed: ") + error.what(), "IAsyncHandler::processResponses");
        }
    }
}

}  // namespace EXMI
