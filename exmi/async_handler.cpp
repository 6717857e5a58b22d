#include "exmi/async_handler.h"

#include <chrono>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

#include "cloud/http_global.h"
#include "support/log.h"

namespace EXMI {
namespace {

using ResponsePromise = std::promise<std::shared_ptr<IAsyncResponse>>;

void runRequest(ResponsePromise promise, std::shared_ptr<IAsyncRequest> request) {
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
    promise.set_value(std::move(response));
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
        support::log(std::string("error callback failed: ") + error.what(),
                     "IAsyncHandler::processResponses");
    } catch (...) {
        support::log("error callback failed", "IAsyncHandler::processResponses");
    }
}

}  // namespace

IAsyncHandler::IAsyncHandler() {
    // libcurl's global set-up is not thread-safe; do it here, on the owner's
    // thread, before any worker can start a transfer.
    EXMIImpl::ensureCurlGlobalInit();
}

void IAsyncHandler::setUserAgent(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    userAgent = text;
}

std::string IAsyncHandler::getUserAgent() const {
    std::lock_guard<std::mutex> lock(mutex);
    return userAgent;
}

void IAsyncHandler::submit(const std::shared_ptr<IAsyncRequest>& request,
                           ResponseCallback onResponse, ErrorCallback onError) {
    if (!request) throw std::runtime_error("invalid async request");
    request->userAgent = getUserAgent();
    request->onResponse = std::move(onResponse);
    request->onError = std::move(onError);

    std::lock_guard<std::mutex> lock(mutex);
    ResponsePromise promise;
    pending.push_back(promise.get_future());
    try {
        std::thread(runRequest, std::move(promise), request).detach();
    } catch (...) {
        // Without a worker the future would never become ready; drop it so
        // the list holds only results that will arrive.
        pending.pop_back();
        throw;
    }
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
}

}  // namespace EXMI
