#include "net/async_handler.h"

#include <algorithm>
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
    support::Mutex mutex;
    std::condition_variable_any idle;
    size_t running GUARDED_BY(mutex) = 0;
    std::atomic<bool> abort{false};
    std::function<void()> wake GUARDED_BY(mutex);

    // Under the mutex, so the destructor's clearing it cannot race a call.
    void wakeOwner() {
        support::MutexLock lock(mutex);
        if (wake) wake();
    }
};

namespace {

using Finished = IAsyncHandler::Finished;
using FinishedPromise = std::promise<Finished>;

// The request's response; a failure thrown anyway becomes a local one.
HttpResponse executeCaught(IAsyncRequest& request) {
    try {
        return request.execute();
    } catch (const std::exception& error) {
        HttpResponse response;
        response.error = EXMIImpl::TransferError::Local;
        response.detail = error.what();
        return response;
    } catch (...) {
        HttpResponse response;
        response.error = EXMIImpl::TransferError::Local;
        response.detail = "<unknown exception>";
        return response;
    }
}

void runRequest(std::shared_ptr<AsyncWorkerState> state, FinishedPromise promise,
                std::shared_ptr<IAsyncRequest> request) {
    {
        // Once the handler is gone nobody reads the result: skip the transfer.
        if (!state->abort.load()) {
            EXMIImpl::HttpAbortScope abortScope(&state->abort);
            HttpResponse response = executeCaught(*request);
            promise.set_value(Finished{request, std::move(response)});
            state->wakeOwner();
        }
        // Released before counting out, not at the thread's end: when the
        // handler stopped waiting, or the request never ran, these may be the
        // last references to the request, its callback and the result, whose
        // destructors are code of this library.
        FinishedPromise released(std::move(promise));
        request.reset();
    }
    support::MutexLock lock(state->mutex);
    --state->running;
    state->idle.notify_all();
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
        support::MutexLock lock(workers->mutex);
        while (workers->running != 0 && workers->idle.wait_until(workers->mutex, deadline) != std::cv_status::timeout) {
        }
        if (workers->running != 0) {
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
    support::MutexLock lock(workers->mutex);
    workers->wake = std::move(wakeup);
}

int IAsyncHandler::addTick(std::function<void()> tick) {
    ownerThread.check("IAsyncHandler::addTick");
    ticks.emplace_back(++lastTickId, std::move(tick));
    return lastTickId;
}

void IAsyncHandler::removeTick(int id) {
    ownerThread.check("IAsyncHandler::removeTick");
    ticks.remove_if([id](const std::pair<int, std::function<void()>>& entry) { return entry.first == id; });
}

void IAsyncHandler::setUserAgent(const std::string& text) {
    support::MutexLock lock(mutex);
    userAgent = text;
}

std::string IAsyncHandler::getUserAgent() const {
    support::MutexLock lock(mutex);
    return userAgent;
}

void IAsyncHandler::submit(const std::shared_ptr<IAsyncRequest>& request, ResponseCallback onResponse) {
    if (!request) throw std::runtime_error("invalid async request");
    request->userAgent = getUserAgent();
    request->onResponse = std::move(onResponse);
    // Weak: a request kept by its submitter must not keep the record alive,
    // which the destructor waits to be the last holder of.
    std::weak_ptr<AsyncWorkerState> state = workers;
    request->notifyOwner = [state] {
        if (const auto record = state.lock()) record->wakeOwner();
    };

    support::MutexLock lock(mutex);
    FinishedPromise promise;
    pending.push_back(promise.get_future());
    {
        support::MutexLock count(workers->mutex);
        ++workers->running;
    }
    try {
        std::thread(runRequest, workers, std::move(promise), request).detach();
    } catch (...) {
        // Without a worker the future would never become ready; drop it so
        // the list holds only results that will arrive.
        pending.pop_back();
        support::MutexLock count(workers->mutex);
        --workers->running;
        throw;
    }
}

size_t IAsyncHandler::runningCount() const {
    support::MutexLock lock(workers->mutex);
    return workers->running;
}

size_t IAsyncHandler::pendingCount() const {
    support::MutexLock lock(mutex);
    return pending.size();
}

void IAsyncHandler::processResponses() {
    ownerThread.check("IAsyncHandler::processResponses");
    std::vector<Finished> ready;
    {
        support::MutexLock lock(mutex);
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

    for (const Finished& finished : ready) {
        // Copied so that the callback may replace the request's callback safely.
        const ResponseCallback callback = finished.request->onResponse;
        if (!callback) continue;
        // A callback that throws must not cost the responses still waiting
        // in the same batch.
        try {
            callback(finished.response);
        } catch (const std::exception& error) {
            support::log(std::string("response callback failed: ") + error.what(), "IAsyncHandler::processResponses");
        } catch (...) {
            support::log("response callback failed", "IAsyncHandler::processResponses");
        }
    }

    // By id: a tick may add or remove ticks, and one that an earlier tick
    // removed (its owner may be gone) must not run.
    std::vector<int> ids;
    for (const auto& tick : ticks) ids.push_back(tick.first);
    for (const int id : ids) {
        const auto found =
            std::find_if(ticks.begin(), ticks.end(),
                         [id](const std::pair<int, std::function<void()>>& entry) { return entry.first == id; });
        if (found == ticks.end()) continue;
        // A copy: the tick may remove itself.
        const std::function<void()> tick = found->second;
        try {
            tick();
        } catch (const std::exception& error) {
            support::log(std::string("tick failed: ") + error.what(), "IAsyncHandler::processResponses");
        }
    }
}

}  // namespace EXMI
