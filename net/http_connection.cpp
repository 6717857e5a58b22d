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
// answers: no other scheme may read or write a local file or send the user's
// data in the clear. Redirects are not followed (an answer of 3xx is the
// caller's to judge); were one followed, the same would hold for it.
void allowHttpsOnly(CURL* handle) {
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
#else
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTPS));
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTPS));
#endif
}

// libcurl's verdict as the page's kinds. Codes a transfer of ours cannot
// meet still get the kind their meaning says.
TransferError transferErrorOf(CURLcode code) {
    switch (code) {
    case CURLE_OK: return TransferError::None;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return TransferError::Resolve;
    case CURLE_OPERATION_TIMEDOUT: return TransferError::Timeout;
    case CURLE_UNSUPPORTED_PROTOCOL: return TransferError::NotHttps;  // refused by allowHttpsOnly
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED: return TransferError::Certificate;
    case CURLE_ABORTED_BY_CALLBACK: return TransferError::Aborted;
    case CURLE_READ_ERROR: return TransferError::File;
    case CURLE_FILESIZE_EXCEEDED: return TransferError::TooLarge;
    // This computer's part: the request, the trust store, memory.
    case CURLE_FAILED_INIT:
    case CURLE_URL_MALFORMAT:
    case CURLE_NOT_BUILT_IN:
    case CURLE_OUT_OF_MEMORY:
    case CURLE_BAD_FUNCTION_ARGUMENT:
    case CURLE_UNKNOWN_OPTION:
    case CURLE_INTERFACE_FAILED:
    case CURLE_WRITE_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED: return TransferError::Local;
    // Refused, dropped or garbled on the way (CURLE_COULDNT_CONNECT,
    // CURLE_SEND_ERROR, CURLE_RECV_ERROR, CURLE_GOT_NOTHING,
    // CURLE_PARTIAL_FILE, CURLE_WEIRD_SERVER_REPLY, HTTP/2 and proxy
    // failures, and whatever later versions add).
    default: return TransferError::Connect;
    }
}

// A plain pointer: trivially destructible, so it registers no thread-exit
// hook that would keep the library from being unloaded.
thread_local const std::atomic<bool>* currentAbortFlag = nullptr;

}  // namespace

const char* transferErrorName(TransferError error) {
    switch (error) {
    case TransferError::None: return "";
    case TransferError::Resolve: return "resolve";
    case TransferError::Connect: return "connect";
    case TransferError::Certificate: return "certificate";
    case TransferError::Timeout: return "timeout";
    case TransferError::Stalled: return "stalled";
    case TransferError::TooLarge: return "toolarge";
    case TransferError::NotHttps: return "nothttps";
    case TransferError::Aborted: return "aborted";
    case TransferError::File: return "file";
    case TransferError::Local: return "local";
    }
    return "local";
}

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

    // A "User-Agent" header of the caller's replaces this one.
    const std::string userAgent = std::string(kUserAgentBase) + kUserAgentVersion;
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
    if (result == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        response.status = static_cast<uint32_t>(status);
    } else if (result == CURLE_OPERATION_TIMEDOUT) {
        // Both limits end in the same code; only a stall has had nothing
        // move for its whole time. The hook sees movement up to a second
        // late, hence the allowance.
        const auto allowance = std::min<std::chrono::steady_clock::duration>(std::chrono::seconds(1), stallTime / 2);
        const bool stalled =
            stallTime.count() != 0 && std::chrono::steady_clock::now() - lastMovement + allowance >= stallTime;
        response.error = stalled ? TransferError::Stalled : TransferError::Timeout;
    } else if (response.error == TransferError::None) {
        // The writer names the cap itself; every other failure by its code.
        response.error = transferErrorOf(result);
    }

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
        if (n > kMaxAnswerBytes - response->body.size()) {
            support::log("answer larger than " + std::to_string(kMaxAnswerBytes) + " bytes refused",
                         "HttpConnection::writeCallback");
            response->error = TransferError::TooLarge;
            return 0;  // fewer bytes than offered: libcurl fails the transfer
        }
        response->body.append(data, n);
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
