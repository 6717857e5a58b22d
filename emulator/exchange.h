#pragma once
// The common frame around every endpoint handler: record the request, apply
// the fault armed for the endpoint, otherwise run the handler. Free
// functions called on the server's worker threads; all shared state they
// touch lives in ServiceState.

#include "emulator/emulator.h"
#include "emulator/service_state.h"

#include <httplib.h>

#include <cstdint>
#include <functional>
#include <string>

namespace emulator {

struct Call {
    const httplib::Request& req;
    httplib::Response& res;
    std::uint64_t bodySize = 0;  // for streamed bodies, set by the handler
    bool streamed = false;       // body was streamed, not kept in req.body
};

using Serve = std::function<void(Call&)>;

// Faults other than Delay answer in place of the handler, so nothing is
// created; for storage PUTs a malformed or wrongly typed answer follows a
// normal store (the storage answer carries nothing the client reads).
// `drain` reads and drops a streamed request body before such an answer.
void serveEndpoint(ServiceState& state, Endpoint endpoint, const httplib::Request& req, httplib::Response& res,
                   const Serve& serve, const Serve& drain = nullptr);
// Records the request and runs `serve`; no faults (pages, admin).
void servePlain(ServiceState& state, const httplib::Request& req, httplib::Response& res, const Serve& serve);

void answerJson(httplib::Response& res, int status, const std::string& json);
void answerHtml(httplib::Response& res, int status, const std::string& html);
void redirect(httplib::Response& res, const std::string& location);

// Parameters of a query or form text, every occurrence kept (the server
// library's own parser folds identical repeats, which OAuth must refuse).
Params parseParams(const std::string& text);
// Form parameters of an application/x-www-form-urlencoded body.
Params formParams(const httplib::Request& req);
// Parameters of the request's query string.
Params queryParams(const httplib::Request& req);
// The value of one cookie of the request, empty when absent.
std::string cookieValue(const httplib::Request& req, const std::string& name);

}  // namespace emulator
