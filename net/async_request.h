#pragma once
// Requests run by the IAsyncHandler. The submitter builds a request on its
// own thread, stores context in its properties and submits it; a detached
// worker thread then calls execute(), which performs one HTTPS transfer. The
// callbacks stored at submission run later on the thread that calls
// IAsyncHandler::processResponses, never on the worker. Only `properties`
// may be read from both sides and is guarded by `mutex`.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace EXMI {

class IAsyncRequest;
class IAsyncResponse;

using ResponseCallback = std::function<void(IAsyncResponse*)>;
using ErrorCallback = std::function<void(IAsyncRequest*, const std::string&)>;

class IAsyncRequest {
public:
    explicit IAsyncRequest(std::string name);
    virtual ~IAsyncRequest() = default;
    IAsyncRequest(const IAsyncRequest&) = delete;
    IAsyncRequest& operator=(const IAsyncRequest&) = delete;

    // Runs on the worker thread; failures are thrown.
    virtual std::shared_ptr<IAsyncResponse> execute() = 0;

    void setProperty(const std::string& key, const std::string& value);
    // Empty text when the key is absent.
    std::string getProperty(const std::string& key) const;

    const std::string& getId() const { return id; }
    const std::string& getName() const { return name; }

    mutable std::mutex mutex;
    const std::string id;
    const std::string name;
    std::string userAgent;
    std::map<std::string, std::string> properties;
    ResponseCallback onResponse;
    ErrorCallback onError;
    // Set by the handler before the worker starts; the worker may call it to
    // have the owner's thread look at the request's progress soon.
    std::function<void()> notifyOwner;
};

// A REST call: URL, optional body with its content type, optional bearer token
// and a time limit for the whole transfer (zero: none).
class IAsyncRESTRequest : public IAsyncRequest {
public:
    IAsyncRESTRequest(std::string name, std::string url, std::string contentType, std::string accessToken,
                      std::string body, std::chrono::seconds timeout);

    const std::string url;
    const std::string contentType;
    const std::string body;
    const std::string accessToken;
    const std::chrono::seconds timeout;

protected:
    // "User-Agent" when set, "Authorization: Bearer ..." when a token is held.
    std::map<std::string, std::string> buildHeaders() const;
    std::shared_ptr<IAsyncResponse> makeResponse(int32_t code, std::string bodyBytes) const;
};

class IAsyncGetRequest : public IAsyncRESTRequest {
public:
    IAsyncGetRequest(std::string name, std::string url, std::string accessToken, std::chrono::seconds timeout);
    std::shared_ptr<IAsyncResponse> execute() override;
};

class IAsyncPostRequest : public IAsyncRESTRequest {
public:
    using IAsyncRESTRequest::IAsyncRESTRequest;
    std::shared_ptr<IAsyncResponse> execute() override;
};

class IAsyncPutRequest : public IAsyncRESTRequest {
public:
    using IAsyncRESTRequest::IAsyncRESTRequest;
    std::shared_ptr<IAsyncResponse> execute() override;
};

// Sends `data` as the body of a PUT; the submitter fills it before submit.
class IAsyncPutBinaryRequest : public IAsyncRESTRequest {
public:
    IAsyncPutBinaryRequest(std::string name, std::string url, std::string contentType, std::string accessToken,
                           std::chrono::seconds timeout);
    std::shared_ptr<IAsyncResponse> execute() override;
    std::vector<uint8_t>& getData() { return data; }

private:
    std::vector<uint8_t> data;
};

// Streams a file from disk as the body of a PUT, `length` bytes, the size it
// was announced with. Fails before sending when the file cannot be opened
// ("could not read file: " and the path) or no longer has that size; sent
// and total bytes may be read from any thread while it runs, and cancel()
// aborts the transfer within about a second. A transfer that stalls fails
// with "the transfer stalled: no progress for N seconds".
class IAsyncPutFileRequest : public IAsyncRESTRequest {
public:
    IAsyncPutFileRequest(std::string name, std::string url, std::string contentType, std::string accessToken,
                         std::string path, uint64_t length, std::chrono::seconds timeout);
    std::shared_ptr<IAsyncResponse> execute() override;

    void cancel() { cancelled.store(true); }
    uint64_t bytesSent() const { return sent.load(); }
    uint64_t bytesTotal() const { return length; }

    const std::string path;
    const uint64_t length;

private:
    static int onProgress(int64_t, int64_t, int64_t ulTotal, int64_t ulNow, void* self);

    std::atomic<bool> cancelled{false};
    std::atomic<uint64_t> sent{0};
    // Worker only: when the owner was last told of progress.
    std::chrono::steady_clock::time_point lastNotice;
};

std::shared_ptr<IAsyncGetRequest> createGetRequest(const std::string& name, const std::string& url,
                                                   const std::string& accessToken, std::chrono::seconds timeout);
std::shared_ptr<IAsyncPostRequest> createPostRequest(const std::string& name, const std::string& url,
                                                     const std::string& contentType, const std::string& accessToken,
                                                     const std::string& body, std::chrono::seconds timeout);
std::shared_ptr<IAsyncPutRequest> createPutRequest(const std::string& name, const std::string& url,
                                                   const std::string& contentType, const std::string& accessToken,
                                                   const std::string& body, std::chrono::seconds timeout);
std::shared_ptr<IAsyncPutBinaryRequest> createPutBinaryRequest(const std::string& name, const std::string& url,
                                                               const std::string& contentType,
                                                               const std::string& accessToken,
                                                               std::chrono::seconds timeout);
std::shared_ptr<IAsyncPutFileRequest> createPutFileRequest(const std::string& name, const std::string& url,
                                                           const std::string& contentType,
                                                           const std::string& accessToken, const std::string& path,
                                                           uint64_t length, std::chrono::seconds timeout);

}  // namespace EXMI
