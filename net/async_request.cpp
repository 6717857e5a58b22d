#include "net/async_request.h"

#include <cstdio>
#include <limits>
#include <memory>
#include <stdexcept>

#include "net/async_response.h"
#include "net/http_client.h"
#include "net/service_addresses.h"
#include "platform/files.h"
#include "support/ids.h"
#include "support/text.h"

namespace EXMI {
namespace {

// Every request of this system verifies the server's certificate.
const bool kVerifyPeer = true;

}  // namespace

IAsyncRequest::IAsyncRequest(std::string requestName) : id(support::generateUuid()), name(std::move(requestName)) {}

void IAsyncRequest::setProperty(const std::string& key, const std::string& value) {
    std::lock_guard<std::mutex> lock(mutex);
    properties[key] = value;
}

std::string IAsyncRequest::getProperty(const std::string& key) const {
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = properties.find(key);
    return found == properties.end() ? std::string() : found->second;
}

IAsyncRESTRequest::IAsyncRESTRequest(std::string requestName, std::string requestUrl, std::string requestContentType,
                                     std::string token, std::string requestBody, std::chrono::seconds seconds)
    : IAsyncRequest(std::move(requestName)), url(std::move(requestUrl)), contentType(std::move(requestContentType)),
      body(std::move(requestBody)), accessToken(std::move(token)), timeout(seconds) {}

std::map<std::string, std::string> IAsyncRESTRequest::buildHeaders() const {
    std::map<std::string, std::string> headers;
    if (!userAgent.empty()) headers["User-Agent"] = userAgent;
    if (!accessToken.empty()) headers["Authorization"] = "Bearer " + accessToken;
    return headers;
}

std::shared_ptr<IAsyncResponse> IAsyncRESTRequest::makeResponse(int32_t code, std::string bodyBytes) const {
    // Transfer failures (-1) deliberately wrap to 4294967295.
    return std::make_shared<IAsyncRESTResponse>(static_cast<uint32_t>(code), std::move(bodyBytes));
}

IAsyncGetRequest::IAsyncGetRequest(std::string requestName, std::string requestUrl, std::string token,
                                   std::chrono::seconds seconds)
    : IAsyncRESTRequest(std::move(requestName), std::move(requestUrl), "", std::move(token), "", seconds) {}

std::shared_ptr<IAsyncResponse> IAsyncGetRequest::execute() {
    EXMIImpl::HttpResponse answer = EXMIImpl::httpGet(url, buildHeaders(), timeout, kVerifyPeer);
    return makeResponse(answer.code, std::move(answer.bodyBytes));
}

std::shared_ptr<IAsyncResponse> IAsyncPostRequest::execute() {
    EXMIImpl::HttpResponse answer = EXMIImpl::httpPost(url, contentType, body, buildHeaders(), timeout, kVerifyPeer);
    return makeResponse(answer.code, std::move(answer.bodyBytes));
}

std::shared_ptr<IAsyncResponse> IAsyncPutRequest::execute() {
    EXMIImpl::HttpResponse answer = EXMIImpl::httpPut(url, contentType, body, buildHeaders(), timeout, kVerifyPeer);
    return makeResponse(answer.code, std::move(answer.bodyBytes));
}

IAsyncPutBinaryRequest::IAsyncPutBinaryRequest(std::string requestName, std::string requestUrl,
                                               std::string requestContentType, std::string token,
                                               std::chrono::seconds seconds)
    : IAsyncRESTRequest(std::move(requestName), std::move(requestUrl), std::move(requestContentType), std::move(token),
                        "", seconds) {}

std::shared_ptr<IAsyncResponse> IAsyncPutBinaryRequest::execute() {
    if (static_cast<uint64_t>(data.size()) > std::numeric_limits<uint32_t>::max())
        throw std::runtime_error("upload chunk too large");
    std::map<std::string, std::string> headers = buildHeaders();
    headers["Content-Length"] = std::to_string(data.size());
    EXMIImpl::HttpResponse answer =
        EXMIImpl::httpPutBinary(url, contentType, data.data(), static_cast<uint32_t>(data.size()), headers, nullptr,
                                nullptr, timeout, kVerifyPeer);
    return makeResponse(answer.code, std::move(answer.bodyBytes));
}

IAsyncPutFileRequest::IAsyncPutFileRequest(std::string requestName, std::string requestUrl,
                                           std::string requestContentType, std::string token, std::string filePath,
                                           uint64_t fileLength, std::chrono::seconds seconds)
    : IAsyncRESTRequest(std::move(requestName), std::move(requestUrl), std::move(requestContentType), std::move(token),
                        "", seconds),
      path(std::move(filePath)), length(fileLength) {}

int IAsyncPutFileRequest::onProgress(int64_t, int64_t, int64_t, int64_t ulNow, void* self) {
    auto* request = static_cast<IAsyncPutFileRequest*>(self);
    if (request->cancelled.load()) return 1;
    if (ulNow > 0) request->sent.store(static_cast<uint64_t>(ulNow));
    // The page shows at most five updates a second; waking the owner more
    // often would only cost its thread. libcurl calls this at least once a
    // second, so the owner also hears of a transfer that has stopped moving.
    const auto now = std::chrono::steady_clock::now();
    if (request->notifyOwner && now - request->lastNotice >= std::chrono::milliseconds(200)) {
        request->lastNotice = now;
        request->notifyOwner();
    }
    return 0;
}

std::shared_ptr<IAsyncResponse> IAsyncPutFileRequest::execute() {
    if (length > std::numeric_limits<uint32_t>::max()) throw std::runtime_error("upload chunk too large");
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file(platform::openFile(support::toUtf16(path), platform::OpenMode::ReadBinary));
    if (!file) throw std::runtime_error("could not read file: " + path);
    // The service was promised `length` bytes: a file that changed since
    // must not go up as something else.
    uint64_t size = 0;
    if (!platform::regularFileSize(file.get(), size)) throw std::runtime_error("could not read file: " + path);
    if (size != length)
        throw std::runtime_error("the file changed after it was announced (" + std::to_string(length) + " bytes, now " +
                                 std::to_string(size) + "): " + path);
    if (cancelled.load()) throw std::runtime_error("upload cancelled");
    std::map<std::string, std::string> headers = buildHeaders();
    headers["Content-Length"] = std::to_string(length);
    bool shortRead = false;
    EXMIImpl::HttpResponse answer =
        EXMIImpl::httpPutFile(url, contentType, file.get(), length, headers, &IAsyncPutFileRequest::onProgress, this,
                              timeout, kVerifyPeer, &shortRead);
    if (shortRead)
        throw std::runtime_error("the file changed after it was announced (" + std::to_string(length) +
                                 " bytes, now fewer): " + path);
    if (answer.stalled)
        throw std::runtime_error("the transfer stalled: no progress for " +
                                 std::to_string(EXMIImpl::stallTime().count()) + " seconds");
    return makeResponse(answer.code, std::move(answer.bodyBytes));
}

std::shared_ptr<IAsyncGetRequest> createGetRequest(const std::string& name, const std::string& url,
                                                   const std::string& accessToken, std::chrono::seconds timeout) {
    return std::make_shared<IAsyncGetRequest>(name, url, accessToken, timeout);
}

std::shared_ptr<IAsyncPostRequest> createPostRequest(const std::string& name, const std::string& url,
                                                     const std::string& contentType, const std::string& accessToken,
                                                     const std::string& body, std::chrono::seconds timeout) {
    return std::make_shared<IAsyncPostRequest>(name, url, contentType, accessToken, body, timeout);
}

std::shared_ptr<IAsyncPutRequest> createPutRequest(const std::string& name, const std::string& url,
                                                   const std::string& contentType, const std::string& accessToken,
                                                   const std::string& body, std::chrono::seconds timeout) {
    return std::make_shared<IAsyncPutRequest>(name, url, contentType, accessToken, body, timeout);
}

std::shared_ptr<IAsyncPutBinaryRequest> createPutBinaryRequest(const std::string& name, const std::string& url,
                                                               const std::string& contentType,
                                                               const std::string& accessToken,
                                                               std::chrono::seconds timeout) {
    return std::make_shared<IAsyncPutBinaryRequest>(name, url, contentType, accessToken, timeout);
}

}  // namespace EXMI

namespace EXMI {

std::shared_ptr<IAsyncPutFileRequest> createPutFileRequest(const std::string& name, const std::string& url,
                                                           const std::string& contentType,
                                                           const std::string& accessToken, const std::string& path,
                                                           uint64_t length, std::chrono::seconds timeout) {
    return std::make_shared<IAsyncPutFileRequest>(name, url, contentType, accessToken, path, length, timeout);
}

}  // namespace EXMI
