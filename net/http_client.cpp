#include "net/http_client.h"

namespace EXMIImpl {
namespace {

// Steps shared by every call: limits, trust store and the caller's headers,
// which win over any header set before (Content-Type).
void configure(HttpConnection& connection, const HttpHeaders& headers, const HttpSettings& settings) {
    connection.setTimeout(settings.timeout);
    // A service that cannot be reached, or stops answering mid-way, fails
    // long before the overall limit.
    connection.setConnectTimeout(std::chrono::seconds(30));
    connection.setStallTime(settings.stallTime);
    connection.setCAInfoFilePath(settings.caBundle);
    for (const auto& entry : headers) connection.setHeader(entry.first, entry.second);
}

}  // namespace

HttpResponse httpGet(const std::string& url, const HttpHeaders& headers, const HttpSettings& settings) {
    HttpConnection connection("");
    configure(connection, headers, settings);
    return connection.perform(url);
}

HttpResponse httpPost(const std::string& url, const std::string& contentType, const std::string& body,
                      const HttpHeaders& headers, const HttpSettings& settings) {
    HttpConnection connection("");
    connection.setHeader("Content-Type", contentType);
    configure(connection, headers, settings);
    CURL* handle = connection.getHandle();
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    return connection.perform(url);
}

HttpResponse httpPut(const std::string& url, const std::string& contentType, const std::string& body,
                     const HttpHeaders& headers, const HttpSettings& settings) {
    HttpConnection connection("");
    connection.setHeader("Content-Type", contentType);
    configure(connection, headers, settings);
    HttpConnection::UploadSource source{reinterpret_cast<const uint8_t*>(body.data()), body.size()};
    CURL* handle = connection.getHandle();
    // CURLOPT_UPLOAD makes an HTTP transfer a PUT; the older CURLOPT_PUT is
    // deprecated and would only repeat it.
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, &HttpConnection::readCallback);
    curl_easy_setopt(handle, CURLOPT_READDATA, &source);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(source.length));
    return connection.perform(url);
}

HttpResponse httpPutFile(const std::string& url, const std::string& contentType, std::FILE* file, uint64_t length,
                         const HttpHeaders& headers, HttpProgressCallback progressCallback, void* progressUserData,
                         const HttpSettings& settings) {
    HttpConnection connection("");
    connection.setHeader("Content-Type", contentType);
    connection.setProgressCallback(progressCallback, progressUserData);
    configure(connection, headers, settings);
    HttpConnection::FileSource source{file, length, false};
    CURL* handle = connection.getHandle();
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, &HttpConnection::fileReadCallback);
    curl_easy_setopt(handle, CURLOPT_READDATA, &source);
    // The _LARGE variant: a plain long is 32 bits on some platforms and would
    // truncate sizes of 2 GiB and more.
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(length));
    // Larger reads than the 64 KiB default: fewer calls per file, still a
    // fixed amount of memory.
    curl_easy_setopt(handle, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
    HttpResponse response = connection.perform(url);
    if (source.shortRead) response.error = TransferError::File;
    return response;
}

}  // namespace EXMIImpl
