#include "net/async_request.h"

#include <limits>
#include <stdexcept>

#include "net/async_response.h"
#include "net/http_client.h"
#include "support/ids.h"

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
