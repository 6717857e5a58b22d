// The account server: sign-in page, sign-out, token endpoint.

#include "emulator/exchange.h"
#include "emulator/pages.h"
#include "emulator/routes.h"

namespace emulator {

namespace {

const char kSessionCookie[] = "sv_session";

void showAuthorize(ServiceState& state, Call& call) {
    AccountService::AuthorizeRequest request;
    AccountService::AuthorizeCheck check = state.accounts.validateAuthorize(queryParams(call.req), request);
    if (!check.ok) {
        if (check.redirectable) {
            redirect(call.res, state.accounts.errorRedirect(request, check.error, check.description));
        } else {
            answerHtml(call.res, 400, messagePage("Sign-in request refused", check.description));
        }
        return;
    }
    // A browser that still holds a session is not asked again; the client
    // goes through /logoff first when it wants the form.
    std::string user;
    if (state.options.rememberSession && state.accounts.sessionUser(cookieValue(call.req, kSessionCookie), user)) {
        redirect(call.res, state.accounts.issueCodeRedirect(request, user));
        return;
    }
    answerHtml(call.res, 200, signInPage(state.accounts.beginSignIn(request), ""));
}

void submitSignIn(ServiceState& state, Call& call) {
    Params form = formParams(call.req);
    auto value = [&form](const char* key) {
        auto it = form.find(key);
        return it == form.end() ? std::string() : it->second;
    };
    std::string requestId = value("request_id");
    AccountService::AuthorizeRequest request;
    if (requestId.empty() || !state.accounts.pendingSignIn(requestId, request)) {
        answerHtml(call.res, 400, messagePage("Sign-in expired", "Start the sign-in again from the application."));
        return;
    }
    std::string user = value("username");
    if (!state.accounts.checkCredentials(user, value("password"))) {
        answerHtml(call.res, 401, signInPage(requestId, "Wrong user name or password."));
        return;
    }
    state.accounts.finishSignIn(requestId);
    if (state.options.rememberSession) {
        call.res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + state.accounts.createSession(user) +
                                              "; Path=/; Secure; HttpOnly; SameSite=Lax");
    }
    redirect(call.res, state.accounts.issueCodeRedirect(request, user));
}

void signOut(ServiceState& state, Call& call) {
    std::string session = cookieValue(call.req, kSessionCookie);
    if (!session.empty()) state.accounts.endSession(session);
    call.res.set_header("Set-Cookie",
                        std::string(kSessionCookie) + "=; Path=/; Max-Age=0; Secure; HttpOnly; SameSite=Lax");
    std::string next = call.req.get_param_value("next");
    if (next.empty()) {
        answerHtml(call.res, 200, messagePage("Signed out", "You are signed out."));
    } else if (next.rfind(state.origin + "/", 0) == 0) {
        redirect(call.res, next);
    } else {
        // Only addresses of this server are followed: no open redirect.
        answerHtml(call.res, 400, messagePage("Signed out", "The next address is not allowed."));
    }
}

void token(ServiceState& state, Call& call) {
    call.res.set_header("Cache-Control", "no-store");
    call.res.set_header("Pragma", "no-cache");
    if (call.req.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) != 0) {
        answerJson(call.res, 400,
                   "{\"error\":\"invalid_request\",\"error_description\":"
                   "\"the token request must be form-encoded\"}");
        return;
    }
    AccountService::Answer answer = state.accounts.token(formParams(call.req));
    answerJson(call.res, answer.status, answer.json);
}

}  // namespace

void installAccountRoutes(httplib::Server& server, ServiceState& state) {
    server.Get("/authorize", [&state](const httplib::Request& req, httplib::Response& res) {
        serveEndpoint(state, Endpoint::Authorize, req, res, [&state](Call& call) { showAuthorize(state, call); });
    });
    server.Post("/authorize", [&state](const httplib::Request& req, httplib::Response& res) {
        serveEndpoint(state, Endpoint::Authorize, req, res, [&state](Call& call) { submitSignIn(state, call); });
    });
    server.Get("/logoff", [&state](const httplib::Request& req, httplib::Response& res) {
        servePlain(state, req, res, [&state](Call& call) { signOut(state, call); });
    });
    server.Post("/token", [&state](const httplib::Request& req, httplib::Response& res) {
        serveEndpoint(state, Endpoint::Token, req, res, [&state](Call& call) { token(state, call); });
    });
}

}  // namespace emulator
