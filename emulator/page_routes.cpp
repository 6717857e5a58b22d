// Landing pages for a browser that follows the sign-in redirect or opens
// the web application, and the admin endpoints for the standalone emulator.

#include "emulator/exchange.h"
#include "emulator/json.h"
#include "emulator/pages.h"
#include "emulator/routes.h"
#include "emulator/state_json.h"

namespace emulator {

void installPageRoutes(httplib::Server& server, ServiceState& state) {
    auto redirectTarget = [&state](const httplib::Request& req, httplib::Response& res) {
        servePlain(state, req, res, [](Call& call) {
            answerHtml(call.res, 200, messagePage("Signed in", "You are signed in. Return to the application."));
        });
    };
    server.Get("/stratavox/?", redirectTarget);
    server.Get("/stratavox/.*", redirectTarget);
    auto library = [&state](const httplib::Request& req, httplib::Response& res) {
        servePlain(state, req, res, [](Call& call) {
            answerHtml(call.res, 200,
                       messagePage("StrataVox Fabriqo library", "The cloud library of the local emulator."));
        });
    };
    server.Get("/app/library/?", library);
    server.Get("/app/library/.*", library);

    // Admin: not part of the emulated service; loopback only, like the rest.
    server.Get("/_emulator/state",
               [&state](const httplib::Request&, httplib::Response& res) { answerJson(res, 200, stateJson(state)); });
    server.Put("/_emulator/faults", [&state](const httplib::Request& req, httplib::Response& res) {
        Endpoint endpoint;
        Fault fault;
        std::string error;
        if (!parseFaultAssignment(req.body, endpoint, fault, &error)) {
            answerJson(res, 400, errorJson("invalid_request", error));
            return;
        }
        state.faults.set(endpoint, fault);
        res.status = 204;
    });
    server.Delete("/_emulator/faults", [&state](const httplib::Request&, httplib::Response& res) {
        state.faults.clearAll();
        res.status = 204;
    });
}

}  // namespace emulator
