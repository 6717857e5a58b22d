#include "net/async_request.h"

#include <cstdio>
#include <memory>

#include "net/http_client.h"
#include "platform/files.h"
#include "support/text.h"

namespace EXMI {
namespace {

HttpResponse fileFailure(std::string text) {
    HttpResponse response;
    response.error = EXMIImpl::TransferError::File;
    response.detail = std::move(text);
    return response;
}

}  // namespace

IAsyncRequest::IAsyncRequest(std::string requestName) : name(std::move(requestName)) {}

IAsyncRESTRequest::IAsyncRESTRequest(std::string requestName, std::string requestUrl, std::string requestContentType,
                                     std::string token, std::string requestBody, HttpSettings transfer)
    : IAsyncRequest(std::move(requestName)), url(std::move(requestUrl)), contentType(std::move(requestContentType)),
      body(std::move(requestBody)), accessToken(std::move(token)), settings(std::move(transfer)) {}

std::map<std::string, std::string> IAsyncRESTRequest::buildHeaders() const {
    std::map<std::string, std::string> headers;
    if (!userAgent.empty()) headers["User-Agent"] = userAgent;
    if (!accessToken.empty()) headers["Authorization"] = "Bearer " + accessToken;
    return headers;
}

IAsyncGetRequest::IAsyncGetRequest(std::string requestName, std::string requestUrl, std::string token,
                                   HttpSettings transfer)
    : IAsyncRESTRequest(std::move(requestName), std::move(requestUrl), "", std::move(token), "", std::move(transfer)) {}

HttpResponse IAsyncGetRequest::execute() { return EXMIImpl::httpGet(url, buildHeaders(), settings); }

HttpResponse IAsyncPostRequest::execute() {
    return EXMIImpl::httpPost(url, contentType, body, buildHeaders(), settings);
}

HttpResponse IAsyncPutRequest::execute() { return EXMIImpl::httpPut(url, contentType, body, buildHeaders(), settings); }

IAsyncPutFileRequest::IAsyncPutFileRequest(std::string requestName, std::string requestUrl,
                                           std::string requestContentType, std::string token, std::string filePath,
                                           uint64_t fileLength, HttpSettings transfer)
    : IAsyncRESTRequest(std::move(requestName), std::move(requestUrl), std::move(requestContentType), std::move(token),
                        "", std::move(transfer)),
      path(std::move(filePath)), length(fileLength) {}

int IAsyncPutFileRequest::onProgress(int64_t, int64_t, int64_t, int64_t ulNow, void* self) {
    auto* request = static_cast<IAsyncPutFileRequest*>(self);
    if (request->cancelled.load()) return 1;
    if (ulNow > 0) request->sent.store(static_cast<uint64_t>(ulNow));
    if (request->progressDue && request->progressDue(request->sent.load()) && request->notifyOwner)
        request->notifyOwner();
    return 0;
}

HttpResponse IAsyncPutFileRequest::execute() {
    HttpResponse response = sendFile();
    // The file is closed: its owner may delete it now.
    fileOwner.reset();
    return response;
}

HttpResponse IAsyncPutFileRequest::sendFile() {
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file(platform::openFile(support::toUtf16(path), platform::OpenMode::ReadBinary));
    if (!file) return fileFailure("could not read file: " + path);
    // The service was promised `length` bytes: a file that changed since
    // must not go up as something else.
    uint64_t size = 0;
    if (!platform::regularFileSize(file.get(), size)) return fileFailure("could not read file: " + path);
    if (size != length)
        return fileFailure("the file changed after it was announced (" + std::to_string(length) + " bytes, now " +
                           std::to_string(size) + "): " + path);
    if (cancelled.load()) {
        HttpResponse response;
        response.error = EXMIImpl::TransferError::Aborted;
        return response;
    }
    std::map<std::string, std::string> headers = buildHeaders();
    headers["Content-Length"] = std::to_string(length);
    HttpResponse response = EXMIImpl::httpPutFile(url, contentType, file.get(), length, headers,
                                                  &IAsyncPutFileRequest::onProgress, this, settings);
    if (response.error == EXMIImpl::TransferError::File)
        response.detail =
            "the file changed after it was announced (" + std::to_string(length) + " bytes, now fewer): " + path;
    return response;
}

}  // namespace EXMI
