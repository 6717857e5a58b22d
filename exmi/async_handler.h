#pragma once
// IAsyncHandler runs requests off the calling thread and brings their results
// back. submit() starts one detached worker thread per request; its result
// waits in `pending` as a future. processResponses(), called periodically by
// the owner on the thread where callbacks must run (the host's UI thread),
// dispatches every finished result there, in submission order among those
// ready. `pending` is guarded by `mutex`, which is never held while callbacks
// run. Destroying the handler drops unfinished results without waiting; the
// workers end on their own and their results are never dispatched.

#include <cstddef>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "exmi/async_request.h"
#include "exmi/async_response.h"

namespace EXMI {

class IAsyncHandler {
public:
    IAsyncHandler();
    virtual ~IAsyncHandler() = default;
    IAsyncHandler(const IAsyncHandler&) = delete;
    IAsyncHandler& operator=(const IAsyncHandler&) = delete;

    // Dispatches every response that is ready now; returns at once otherwise.
    virtual void processResponses();

    void setUserAgent(const std::string& userAgent);
    std::string getUserAgent() const;

    // Starts the request on a detached thread. Throws "invalid async request"
    // for a null request, and std::system_error when no thread can be started
    // (the request is then forgotten and its callbacks never run).
    void submit(const std::shared_ptr<IAsyncRequest>& request, ResponseCallback onResponse,
                ErrorCallback onError);

    // Submitted requests whose results have not been dispatched yet.
    size_t pendingCount() const;

private:
    mutable std::mutex mutex;
    std::string userAgent;
    std::list<std::future<std::shared_ptr<IAsyncResponse>>> pending;
};

}  // namespace EXMI
