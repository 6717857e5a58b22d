#pragma once
// The blocking HTTP calls used by the request handler's worker threads. Each
// call builds its own HttpConnection, performs one transfer on the calling
// thread and returns the response by value; no state survives a call. Peer
// verification is always on; what to trust comes with the settings.

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "net/http_connection.h"
#include "net/http_response.h"

namespace EXMIImpl {

using HttpHeaders = std::map<std::string, std::string>;

HttpResponse httpGet(const std::string& url, const HttpHeaders& headers, const HttpSettings& settings);

HttpResponse httpPost(const std::string& url, const std::string& contentType, const std::string& body,
                      const HttpHeaders& headers, const HttpSettings& settings);

HttpResponse httpPut(const std::string& url, const std::string& contentType, const std::string& body,
                     const HttpHeaders& headers, const HttpSettings& settings);

// Streams `length` bytes of the open `file`, from its current position, as
// the body of a PUT. A file that ends early fails the transfer with
// TransferError::File.
HttpResponse httpPutFile(const std::string& url, const std::string& contentType, std::FILE* file, uint64_t length,
                         const HttpHeaders& headers, HttpProgressCallback progressCallback, void* progressUserData,
                         const HttpSettings& settings);

}  // namespace EXMIImpl
