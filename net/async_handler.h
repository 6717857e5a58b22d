#pragma once
// IAsyncHandler runs requests off the calling thread and brings their results
// back. submit() starts one detached worker thread per request; its response
// waits in `pending` as a future. processResponses(), called periodically by
// the owner on the thread where callbacks must run (the host's UI thread),
// hands every finished response to its request's callback there, in
// submission order among those ready. `pending` is guarded by `mutex`, which
// is never held while callbacks run.
//
// Workers never touch the handler itself: they share only a small record
// (`AsyncWorkerState`) that counts them and carries the abort flag, so a worker
// may safely outlive the handler. The destructor raises the abort flag, which
// makes every transfer in flight give up at its next progress check (about a
// second at most) and keeps workers that have not started their transfer from
// starting it. Then it waits, at most `stopDeadline`, until every worker has
// dropped its references to its request, its result and the shared record, so
// that their destructors (and those of whatever the callbacks captured) have
// run by the time the handler is gone; of such a worker only its thread's
// return path is left. This matters because the host unloads the library
// right after `stop`, which destroys the handler, and code of an unloaded
// library must not run. Results not dispatched before the destruction,
// aborted or not, are dropped and never reach a callback. A worker still busy
// at the deadline (work that does not poll the flag, such as a name lookup)
// is logged and left to finish on its own; the module is then pinned so that
// unloading it cannot pull the code from under that worker.
//
// Two optional hooks bring results back promptly: a wake-up function, which a
// worker calls (from its own thread) as soon as its result is ready or its
// transfer has made progress, so the owner can call processResponses at once
// instead of at its next periodic call; and ticks, which processResponses
// runs on the owner's thread after dispatching, to look at requests still
// running.

#include <chrono>
#include <cstddef>
#include <functional>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "net/async_request.h"
#include "support/sequence_checker.h"
#include "support/thread_annotations.h"

namespace EXMI {

struct AsyncWorkerState;

class IAsyncHandler {
public:
    static constexpr std::chrono::milliseconds kDefaultStopDeadline{3000};

    explicit IAsyncHandler(std::chrono::milliseconds stopDeadline = kDefaultStopDeadline);
    // Aborts and waits for the workers as described above.
    virtual ~IAsyncHandler();
    IAsyncHandler(const IAsyncHandler&) = delete;
    IAsyncHandler& operator=(const IAsyncHandler&) = delete;

    // Dispatches every response that is ready now; returns at once otherwise.
    virtual void processResponses();

    // Any thread; the function is called on worker threads, never after the
    // handler's destructor has begun. Empty: none.
    void setWakeup(std::function<void()> wakeup);
    // Owner's thread only. A tick runs at the end of every processResponses
    // until removed by the id addTick returned.
    int addTick(std::function<void()> tick);
    void removeTick(int id);

    void setUserAgent(const std::string& userAgent);
    std::string getUserAgent() const;

    // Starts the request on a detached thread. Throws "invalid async request"
    // for a null request, and std::system_error when no thread can be started
    // (the request is then forgotten and its callback never runs). A
    // callback that throws is logged; the other responses still go out.
    void submit(const std::shared_ptr<IAsyncRequest>& request, ResponseCallback onResponse);

    // Submitted requests whose results have not been dispatched yet.
    size_t pendingCount() const;
    // Workers that have not yet released their request; a result may be ready
    // slightly before its worker is counted out.
    size_t runningCount() const;

    // A finished request and its response, as a worker hands it over.
    struct Finished {
        std::shared_ptr<IAsyncRequest> request;
        HttpResponse response;
    };

private:
    mutable support::Mutex mutex;
    std::string userAgent GUARDED_BY(mutex);
    std::list<std::future<Finished>> pending GUARDED_BY(mutex);
    // Owner's thread only.
    std::list<std::pair<int, std::function<void()>>> ticks;
    int lastTickId = 0;
    support::SequenceChecker ownerThread;
    const std::chrono::milliseconds stopDeadline;
    const std::shared_ptr<AsyncWorkerState> workers;
};

}  // namespace EXMI
