#pragma once
// Requests run by the IAsyncHandler. The submitter builds a request on its
// own thread and submits it; a detached worker thread then calls execute(),
// which performs one HTTPS transfer and returns its HttpResponse, failures
// included. The one callback stored at submission runs later, with that
// response, on the thread that calls IAsyncHandler::processResponses, never on
// the worker. After submission the submitter reads only what is atomic.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "net/http_connection.h"
#include "net/http_response.h"

namespace EXMI {

using EXMIImpl::HttpResponse;
using EXMIImpl::HttpSettings;
using ResponseCallback = std::function<void(const HttpResponse&)>;

class IAsyncRequest {
public:
    explicit IAsyncRequest(std::string name);
    virtual ~IAsyncRequest() = default;
    IAsyncRequest(const IAsyncRequest&) = delete;
    IAsyncRequest& operator=(const IAsyncRequest&) = delete;

    // Runs on the worker thread. Every failure is a response: one thrown
    // anyway reaches the callback as TransferError::Local with its text.
    virtual HttpResponse execute() = 0;

    const std::string name;
    std::string userAgent;
    ResponseCallback onResponse;
    // Set by the handler before the worker starts; the worker may call it to
    // have the owner's thread look at the request's progress soon.
    std::function<void()> notifyOwner;
};

// A REST call: URL, optional body with its content type, optional bearer token
// and the transfer's settings.
class IAsyncRESTRequest : public IAsyncRequest {
public:
    IAsyncRESTRequest(std::string name, std::string url, std::string contentType, std::string accessToken,
                      std::string body, HttpSettings settings);

    const std::string url;
    const std::string contentType;
    const std::string body;
    const std::string accessToken;
    const HttpSettings settings;

protected:
    // "User-Agent" when set, "Authorization: Bearer ..." when a token is held.
    std::map<std::string, std::string> buildHeaders() const;
};

class IAsyncGetRequest : public IAsyncRESTRequest {
public:
    IAsyncGetRequest(std::string name, std::string url, std::string accessToken, HttpSettings settings);
    HttpResponse execute() override;
};

class IAsyncPostRequest : public IAsyncRESTRequest {
public:
    using IAsyncRESTRequest::IAsyncRESTRequest;
    HttpResponse execute() override;
};

class IAsyncPutRequest : public IAsyncRESTRequest {
public:
    using IAsyncRESTRequest::IAsyncRESTRequest;
    HttpResponse execute() override;
};

// Streams a file from disk as the body of a PUT, `length` bytes, the size it
// was announced with. Fails with TransferError::File before sending when the
// file cannot be opened ("could not read file: " and the path) or no longer
// has that size, and when it shrinks while it is sent; sent and total bytes
// may be read from any thread while it runs, and cancel() aborts the transfer
// within about a second. `fileOwner` is let go of only once the file is
// closed (or was never opened): whatever its owner ties to it, such as
// deleting the file, happens after the close, on whichever thread lets go
// last.
class IAsyncPutFileRequest : public IAsyncRESTRequest {
public:
    IAsyncPutFileRequest(std::string name, std::string url, std::string contentType, std::string accessToken,
                         std::string path, uint64_t length, HttpSettings settings);
    HttpResponse execute() override;

    void cancel() { cancelled.store(true); }
    uint64_t bytesSent() const { return sent.load(); }
    uint64_t bytesTotal() const { return length; }
    const std::string path;
    const uint64_t length;
    // Set before submission, released by the worker after the close.
    std::shared_ptr<const void> fileOwner;
    // Set before submission: called on the worker at every progress check
    // (libcurl's, at least once a second) with the bytes sent so far; when it
    // answers true the owner's thread is woken to look at the request. The
    // owner decides how often that is worth it; empty: never.
    std::function<bool(uint64_t sent)> progressDue;

private:
    static int onProgress(int64_t, int64_t, int64_t ulTotal, int64_t ulNow, void* self);
    HttpResponse sendFile();

    std::atomic<bool> cancelled{false};
    std::atomic<uint64_t> sent{0};
};

}  // namespace EXMI
