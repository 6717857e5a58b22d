#include "net/http_client.h"

#include "net/service_addresses.h"

namespace EXMIImpl {
namespace {

// Steps shared by every call: timeout, peer verification, trust store and the
// caller's headers, which win over any header set before (Content-Type).
void configure(HttpConnection& connection, const HttpHeaders& headers, std::chrono::seconds timeout, bool verifyPeer) {
    connection.setTimeout(timeout);
    // A service that cannot be reached, or stops answering mid-way, fails
    // long before the overall limit.
    connection.setConnectTimeout(std::chrono::seconds(30));
    connection.setStallTime(stallTime());
    curl_easy_setopt(connection.getHandle(), CURLOPT_SSL_VERIFYPEER, verifyPeer ? 1L : 0L);
    connection.setCAInfoFilePath(caBundlePath());
    for (const auto& entry : headers) connection.setHeader(entry.first, entry.second);
}

void configureUpload(HttpConnection& connection, HttpConnection::UploadSource& source) {
    CURL* handle = connection.getHandle();
    // CURLOPT_UPLOAD makes an HTTP transfer a PUT; the older CURLOPT_PUT is
    // deprecated and would only repeat it.
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, &HttpConnection::readCallback);
    curl_easy_setopt(handle, CURLOPT_READDATA, &source);
    // The _LARGE variant: a plain long is 32 bits on some platforms and would
    // truncate sizes of 2 GiB and more.
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(source.length));
}

}  // namespace

HttpResponse httpGet(const std::string& url, const HttpHeaders& headers, std::chrono::seconds timeout,
                     bool verifyPeer) {
    HttpConnection connection("");
    configure(connection, headers, timeout, verifyPeer);
    return connection.perform(url);
}

HttpResponse httpPost(const std::string& url, const std::string& contentType, const std::string& body,
                      const HttpHeaders& headers, std::chrono::seconds timeout, bool verifyPeer) {
    HttpConnection connection("");
    connection.setHeader("Content-Type", contentType);
    configure(connection, headers, timeout, verifyPeer);
    CURL* handle = connection.getHandle();
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    return connection.perform(url);
}

HttpResponse httpPut(const std::string& url, const std::string& contentType, const std::string& body,
                     const HttpHeaders& headers, std::chrono::seconds timeout, bool verifyPeer) {
    HttpConnection connection("");
    connection.setHeader("Content-Type", contentType);
    configure(connection, headers, timeout, verifyPeer);
    HttpConnection::UploadSource source{reinterpret_cast<const uint8_t*>(body.data()), body.size()};
    configureUpload(connection, source);
    return connection.perform(url);
}

HttpResponse httpPutFile(const std::string& url, const std::string& contentType, std::FILE* file, uint64_t length,
                         const HttpHeaders& headers, HttpProgressCallback progressCallback, void* progressUserData,
                         std::chrono::seconds timeout, bool verifyPeer, bool* shortRead) {
    HttpConnection connection("");
    connection.setHeader("Content-Type", contentType);
    connection.setProgressCallback(progressCallback, progressUserData);
    configure(connection, headers, timeout, verifyPeer);
    HttpConnection::FileSource source{file, length, false};
    CURL* handle = connection.getHandle();
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, &HttpConnection::fileReadCallback);
    curl_easy_setopt(handle, CURLOPT_READDATA, &source);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(length));
    // Larger reads than the 64 KiB default: fewer calls per file, still a
    // fixed amount of memory.
    curl_easy_setopt(handle, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
    HttpResponse response = connection.perform(url);
    if (shortRead != nullptr) *shortRead = source.shortRead;
    return response;
}

HttpResponse httpPutBinary(const std::string& url, const std::string& contentType, const uint8_t* data, uint32_t length,
                           const HttpHeaders& headers, HttpProgressCallback progressCallback, void* progressUserData,
                           std::chrono::seconds timeout, bool verifyPeer) {
    HttpConnection connection("");
    connection.setHeader("Content-Type", contentType);
    connection.setProgressCallback(progressCallback, progressUserData);
    configure(connection, headers, timeout, verifyPeer);
    HttpConnection::UploadSource source{data, length};
    configureUpload(connection, source);
    return connection.perform(url);
}

}  // namespace EXMIImpl
