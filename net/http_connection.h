#pragma once
// HttpConnection owns one libcurl easy handle for exactly one synchronous
// transfer: it is created, configured, performed once and destroyed on the
// calling thread (a worker thread of the request handler). Nothing is shared
// between connections, so several may run on different threads at once.
//
// HttpAbortScope lets whoever runs a thread abort the transfers made on it:
// the scope lives on that thread's stack and names an atomic flag that another
// thread may raise; every connection performed on the thread while the scope
// lives checks the flag in its progress hook.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include <curl/curl.h>

#include "net/http_response.h"

namespace EXMIImpl {

// Transfer-progress hook: (download total, download now, upload total,
// upload now, user data) -> non-zero aborts the transfer.
using HttpProgressCallback = int (*)(int64_t, int64_t, int64_t, int64_t, void*);

// What a transfer may take and whom it trusts; handed down by whoever knows
// the service (the cloud client), never looked up here.
struct HttpSettings {
    // The whole transfer's time limit; zero: none.
    std::chrono::seconds timeout{0};
    // A transfer during which not a byte moves for this long fails as
    // TransferError::Stalled; zero: never.
    std::chrono::seconds stallTime{0};
    // PEM file of the CA certificates to trust; empty: libcurl's default store.
    std::string caBundle;
};

// While alive, transfers performed on the constructing thread abort
// (TransferError::Aborted) as soon as their progress hook sees `flag` raised;
// libcurl calls the hook about once a second even when no byte moves. Scopes
// nest; the flag must outlive the scope.
class HttpAbortScope {
public:
    explicit HttpAbortScope(const std::atomic<bool>* flag);
    ~HttpAbortScope();
    HttpAbortScope(const HttpAbortScope&) = delete;
    HttpAbortScope& operator=(const HttpAbortScope&) = delete;

    // True when the innermost scope of this thread has its flag raised; lets
    // long work between transfers stop early.
    static bool abortRequested();

private:
    const std::atomic<bool>* previous;
};

class HttpConnection {
public:
    // Bytes still to be sent by an upload; the read callback advances it.
    struct UploadSource {
        const uint8_t* data = nullptr;
        uint64_t length = 0;
    };
    // An open file streamed by fileReadCallback: `remaining` bytes are read
    // in libcurl's own buffer as they are sent. A file that ends early sets
    // `shortRead` and aborts the transfer (TransferError::File) rather than
    // send fewer bytes than Content-Length promised.
    struct FileSource {
        std::FILE* file = nullptr;
        uint64_t remaining = 0;
        bool shortRead = false;
    };

    explicit HttpConnection(const std::string& address);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    void setHeader(const std::string& key, const std::string& value) { headers[key] = value; }
    // The whole transfer's time limit; zero: none.
    void setTimeout(std::chrono::seconds limit) { timeout = limit; }
    // How long making the connection (TLS included) may take; zero: libcurl's default.
    void setConnectTimeout(std::chrono::seconds limit) { connectTimeout = limit; }
    // A transfer during which not a byte moves for this long fails as
    // TransferError::Stalled; zero: never.
    void setStallTime(std::chrono::seconds limit) { stallTime = limit; }
    void setCAInfoFilePath(const std::string& path) { caInfoFilePath = path; }
    void setProgressCallback(HttpProgressCallback callback, void* userData) {
        progressCallback = callback;
        progressUserData = userData;
    }

    // For the method options that a call sets before perform().
    CURL* getHandle() { return handle; }

    // Runs the transfer of baseUrl + path; never throws for transfer failures,
    // which come back as the response's `error`.
    HttpResponse perform(const std::string& path);

    // libcurl callbacks. The reader is installed by the upload calls; the
    // writer and header parser take an HttpResponse as their user data.
    static size_t readCallback(char* buffer, size_t size, size_t count, void* source);
    static size_t fileReadCallback(char* buffer, size_t size, size_t count, void* source);
    static size_t writeCallback(char* data, size_t size, size_t count, void* response);
    static size_t headerCallback(char* data, size_t size, size_t count, void* response);

private:
    static int progressTrampoline(void* connection, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
                                  curl_off_t ulNow);

    CURL* handle = nullptr;
    std::string baseUrl;
    std::map<std::string, std::string> headers;
    std::chrono::seconds timeout{0};
    std::chrono::seconds connectTimeout{0};
    std::chrono::seconds stallTime{0};
    // Bytes moved either way as last seen by the progress hook, and when
    // that count last changed: tells a stall from the overall time limit.
    int64_t movedBytes = 0;
    std::chrono::steady_clock::time_point lastMovement;
    std::string caInfoFilePath;
    HttpProgressCallback progressCallback = nullptr;
    void* progressUserData = nullptr;
    // The performing thread's abort flag, taken when perform() starts.
    const std::atomic<bool>* abortFlag = nullptr;
};

}  // namespace EXMIImpl
