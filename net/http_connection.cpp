#include "net/http_connection.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

#include "net/http_global.h"
#include "support/log.h"

namespace EXMIImpl {
namespace {

const char* const kUserAgentBase = "restclient-cpp/";
const char* const kUserAgentVersion = "100";

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Trims white space from the end first, then from the start.
std::string trim(std::string text) {
    while (!text.empty() && isSpace(text.back())) text.pop_back();
    size_t start = 0;
    while (start < text.size() && isSpace(text[start])) ++start;
    return text.substr(start);
}

// Every address the add-in uses is https, and some come from the service's
// answers: no other scheme, not even through a redirect, may read or write a
// local file or send the user's data in the clear.
void allowHttpsOnly(CURL* handle) {
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
#else
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTPS));
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTPS));
#endif
}

// A plain pointer: trivially destructible, so it registers no thread-exit
// hook that would keep the library from being unloaded.
thread_local const std::atomic<bool>* currentAbortFlag = nullptr;

}  // namespace

HttpAbortScope::HttpAbortScope(const std::atomic<bool>* flag) : previous(currentAbortFlag) { currentAbortFlag = flag; }

HttpAbortScope::~HttpAbortScope() { currentAbortFlag = previous; }

bool HttpAbortScope::abortRequested() { return currentAbortFlag != nullptr && currentAbortFlag->load(); }

HttpConnection::HttpConnection(const std::string& address) : baseUrl(address) {
    ensureCurlGlobalInit();
    handle = curl_easy_init();
    if (handle == nullptr) throw std::runtime_error("Couldn't initialize curl handle");
    // The account server and storage speak HTTP/1.1; offering h2 via ALPN is
    // switched off deliberately.
    curl_easy_setopt(handle, CURLOPT_SSL_ENABLE_ALPN, 0L);
}

HttpConnection::~HttpConnection() {
    if (handle != nullptr) curl_easy_cleanup(handle);
}

HttpResponse HttpConnection::perform(const std::string& path) {
    HttpResponse response;
    const std::string url = baseUrl + path;
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());

    // The hook stays installed for every transfer: it is also how an abort
    // requested by the thread's owner reaches a transfer that is waiting.
    abortFlag = currentAbortFlag;
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &HttpConnection::progressTrampoline);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);

    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &HttpConnection::writeCallback);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &HttpConnection::headerCallback);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &response);

    curl_slist* headerList = nullptr;
    for (const auto& entry : headers) {
        const std::string line = entry.first + ": " + entry.second;
        headerList = curl_slist_append(headerList, line.c_str());
    }
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headerList);

    std::string userPassword;
    if (!basicAuthUser.empty()) {
        userPassword = basicAuthUser + ":" + basicAuthPassword;
        curl_easy_setopt(handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(handle, CURLOPT_USERPWD, userPassword.c_str());
    }

    std::string userAgent;
    if (!customUserAgent.empty()) userAgent = customUserAgent + " ";
    userAgent += std::string(kUserAgentBase) + kUserAgentVersion;
    curl_easy_setopt(handle, CURLOPT_USERAGENT, userAgent.c_str());

    // libcurl takes whole seconds as a long, which may be narrower than
    // the duration's count: a longer limit is the longest it can take.
    const auto longest = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::duration<long>::max());
    if (timeout.count() != 0) {
        curl_easy_setopt(handle, CURLOPT_TIMEOUT, static_cast<long>(std::min(timeout, longest).count()));
    }
    if (connectTimeout.count() != 0) {
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, static_cast<long>(std::min(connectTimeout, longest).count()));
    }
    if (stallTime.count() != 0) {
        // libcurl's own slow-transfer check: below 1 byte a second for the
        // whole stall time means nothing moves at all.
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::min(stallTime, longest).count()));
    }
    if (timeout.count() != 0 || connectTimeout.count() != 0 || stallTime.count() != 0) {
        // Worker threads must not be interrupted by the resolver's alarm signal.
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    }
    movedBytes = 0;
    lastMovement = std::chrono::steady_clock::now();
    if (followRedirects) curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    allowHttpsOnly(handle);
    if (!caInfoFilePath.empty()) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, caInfoFilePath.c_str());
    } else {
#ifdef _WIN32
        // No bundle named: trust what Windows trusts (its certificate store,
        // where a company installs its proxy's root), as its other programs do.
        curl_easy_setopt(handle, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
#endif
    }

    const CURLcode result = curl_easy_perform(handle);
    if (result == CURLE_OPERATION_TIMEDOUT) {
        response.code = 28;
        response.failure = "Operation Timeout.";
        // Both limits end in the same code; only a stall has had nothing
        // move for its whole time.
        // The hook sees movement up to a second late, hence the allowance.
        const auto allowance = std::min<std::chrono::steady_clock::duration>(std::chrono::seconds(1), stallTime / 2);
        response.stalled =
            stallTime.count() != 0 && std::chrono::steady_clock::now() - lastMovement + allowance >= stallTime;
    } else if (result != CURLE_OK) {
        response.failure = "Failed to query.";
        response.code = -1;
    } else {
        long status = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        response.code = static_cast<int32_t>(status);
    }

    curl_easy_getinfo(handle, CURLINFO_TOTAL_TIME, &lastRequest.totalTime);
    curl_easy_getinfo(handle, CURLINFO_NAMELOOKUP_TIME, &lastRequest.nameLookupTime);
    curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME, &lastRequest.connectTime);
    curl_easy_getinfo(handle, CURLINFO_APPCONNECT_TIME, &lastRequest.appConnectTime);
    curl_easy_getinfo(handle, CURLINFO_PRETRANSFER_TIME, &lastRequest.preTransferTime);
    curl_easy_getinfo(handle, CURLINFO_STARTTRANSFER_TIME, &lastRequest.startTransferTime);
    curl_easy_getinfo(handle, CURLINFO_REDIRECT_TIME, &lastRequest.redirectTime);
    long redirects = 0;
    curl_easy_getinfo(handle, CURLINFO_REDIRECT_COUNT, &redirects);
    lastRequest.redirectCount = static_cast<int32_t>(redirects);

    curl_slist_free_all(headerList);
    curl_easy_reset(handle);
    return response;
}

// The callbacks run inside libcurl's C code, which no C++ exception may
// cross: a failure ends the transfer through the return value instead.
size_t HttpConnection::writeCallback(char* data, size_t size, size_t count, void* target) {
    auto* response = static_cast<HttpResponse*>(target);
    const size_t n = size * count;
    try {
        if (n > kMaxAnswerBytes - response->bodyBytes.size()) {
            support::log("answer larger than " + std::to_string(kMaxAnswerBytes) + " bytes refused",
                         "HttpConnection::writeCallback");
            return 0;  // fewer bytes than offered: libcurl fails the transfer
        }
        response->bodyBytes.append(data, n);
    } catch (...) {
        return 0;
    }
    return n;
}

size_t HttpConnection::headerCallback(char* data, size_t size, size_t count, void* target) {
    auto* response = static_cast<HttpResponse*>(target);
    const size_t n = size * count;
    try {
        const std::string line(data, n);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            const std::string text = trim(line);
            if (!text.empty()) response->headers[text] = "present";
        } else {
            response->headers[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
        }
    } catch (...) {
        return 0;
    }
    return n;
}

size_t HttpConnection::readCallback(char* buffer, size_t size, size_t count, void* target) {
    auto* source = static_cast<UploadSource*>(target);
    const uint64_t room = static_cast<uint64_t>(size) * count;
    const size_t copied = static_cast<size_t>(std::min(source->length, room));
    if (copied > 0) {
        std::memcpy(buffer, source->data, copied);
        source->data += copied;
        source->length -= copied;
    }
    return copied;
}

size_t HttpConnection::fileReadCallback(char* buffer, size_t size, size_t count, void* target) {
    auto* source = static_cast<FileSource*>(target);
    const uint64_t room = static_cast<uint64_t>(size) * count;
    const size_t wanted = static_cast<size_t>(std::min(source->remaining, room));
    if (wanted == 0) return 0;
    const size_t got = std::fread(buffer, 1, wanted, source->file);
    if (got == 0) {
        source->shortRead = true;
        return CURL_READFUNC_ABORT;
    }
    source->remaining -= got;
    return got;
}

int HttpConnection::progressTrampoline(void* target, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
                                       curl_off_t ulNow) {
    auto* connection = static_cast<HttpConnection*>(target);
    if (dlNow + ulNow != connection->movedBytes) {
        connection->movedBytes = dlNow + ulNow;
        connection->lastMovement = std::chrono::steady_clock::now();
    }
    if (connection->abortFlag != nullptr && connection->abortFlag->load()) return 1;
    if (connection->progressCallback == nullptr) return 0;
    return connection->progressCallback(dlTotal, dlNow, ulTotal, ulNow, connection->progressUserData);
}

}  // namespace EXMIImpl
