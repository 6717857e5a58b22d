#pragma once
// The four blocking HTTP calls used by the request handler's worker threads.
// Each call builds its own HttpConnection, performs one transfer on the
// calling thread and returns the response by value; no state survives a call.
// Peer verification is always requested by the callers; the certificate
// bundle comes from the service configuration (see cloud/service_addresses.h).

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "net/http_connection.h"
#include "net/http_response.h"

namespace EXMIImpl {

using HttpHeaders = std::map<std::string, std::string>;

HttpResponse httpGet(const std::string& url, const HttpHeaders& headers, std::chrono::seconds timeout, bool verifyPeer);

HttpResponse httpPost(const std::string& url, const std::string& contentType, const std::string& body,
                      const HttpHeaders& headers, std::chrono::seconds timeout, bool verifyPeer);

HttpResponse httpPut(const std::string& url, const std::string& contentType, const std::string& body,
                     const HttpHeaders& headers, std::chrono::seconds timeout, bool verifyPeer);

// Streams `length` bytes of the open `file`, from its current position, as
// the body of a PUT. A file that ends early aborts the transfer
// (HttpResponse code -1) with `*shortRead` set.
HttpResponse httpPutFile(const std::string& url, const std::string& contentType, std::FILE* file, uint64_t length,
                         const HttpHeaders& headers, HttpProgressCallback progressCallback, void* progressUserData,
                         std::chrono::seconds timeout, bool verifyPeer, bool* shortRead);

HttpResponse httpPutBinary(const std::string& url, const std::string& contentType, const uint8_t* data, uint32_t length,
                           const HttpHeaders& headers, HttpProgressCallback progressCallback, void* progressUserData,
                           std::chrono::seconds timeout, bool verifyPeer);

}  // namespace EXMIImpl
