#pragma once
// CloudFailure is what the error screen and the log are told of a failed
// cloud operation: the contract's text, unchanged, and beside it the kind of
// failure, the HTTP status when an answer came, and the project the upload
// had created by then. The functions build one from a request's response.
// Values only; made and read on the UI thread.

#include <cstdint>
#include <string>

#include "net/http_response.h"

namespace EXMIImpl {

struct CloudFailure {
    // The contract's text ("could not upload file to project (502)\n...").
    std::string message;
    // "resolve", "connect", ... for a transfer failure, "file" or "local"
    // for a problem on this computer, "server", "refused", "client" or
    // "answer" for an HTTP answer.
    std::string kind;
    // The HTTP status; 0 when no answer came.
    uint32_t status = 0;
    // The project the upload created before it failed; empty otherwise.
    std::string projectId;
};

// Only an answer of 200 or 201 counts as success.
inline bool isSuccess(const HttpResponse& response) {
    return response.answered() && (response.status == 200 || response.status == 201);
}

// The code the contract's texts print: the status of an answer, 28 for a
// timeout or a stall, 4294967295 for any other failure.
uint32_t shownCode(const HttpResponse& response);

// The kind of an HTTP answer's status: "server" (5xx), "refused" (401,
// 403), "client" (other 4xx), "answer" (anything else).
std::string statusKind(uint32_t status);

// "<what> (<code>)" and the response's kind and status; a failure with a
// text of its own (a file problem) keeps that text instead.
CloudFailure requestFailure(const HttpResponse& response, const std::string& what);
// A successful status whose body the add-in could not use.
CloudFailure answerFailure(const HttpResponse& response, const std::string& message);
// A problem on this computer: "file" or "local".
CloudFailure localFailure(const std::string& kind, const std::string& message);

}  // namespace EXMIImpl
