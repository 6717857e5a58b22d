#include "cloud/stratavox_session.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "cloud/pkce.h"
#include "support/encoding.h"
#include "support/log.h"

namespace EXMIImpl {

CStratavoxFabriqoSession::CStratavoxFabriqoSession(std::string client, std::string redirect, std::string server,
                                                   std::unique_ptr<platform::CredentialStore> credentialStore)
    : clientId(std::move(client)), redirectUri(std::move(redirect)), accountServer(std::move(server)),
      store(std::move(credentialStore)), accessTokenExpiry(Clock::now()) {}

// Staying signed in.

void CStratavoxFabriqoSession::storeUnreachable() {
    store.reset();
    support::log("no credential store is reachable: the sign-in is kept until the host closes, not remembered",
                 "CStratavoxFabriqoSession");
}

bool CStratavoxFabriqoSession::recallRefreshToken() {
    if (refreshToken.empty() && store) {
        std::string kept;
        const platform::CredentialStore::Outcome outcome = store->load(accountServer, kept);
        if (outcome == platform::CredentialStore::Outcome::Unreachable) storeUnreachable();
        if (outcome == platform::CredentialStore::Outcome::Done) refreshToken = kept;
    }
    return !refreshToken.empty();
}

void CStratavoxFabriqoSession::keepRefreshToken() {
    if (refreshToken.empty()) {
        deleteKeptRefreshToken();
        return;
    }
    if (store && store->save(accountServer, refreshToken) == platform::CredentialStore::Outcome::Unreachable)
        storeUnreachable();
}

void CStratavoxFabriqoSession::deleteKeptRefreshToken() {
    if (store && store->remove(accountServer) == platform::CredentialStore::Outcome::Unreachable) storeUnreachable();
}

void CStratavoxFabriqoSession::dropRefreshToken() {
    deleteKeptRefreshToken();
    refreshToken.clear();
}

void CStratavoxFabriqoSession::addScope(std::string scope) {
    if (isSignedIn()) throw std::runtime_error("cannot change scope while logged in");
    if (scope.empty()) return;
    scopes.push_back(std::move(scope));
}

std::string CStratavoxFabriqoSession::scopeText() const {
    std::string text;
    for (const auto& scope : scopes) {
        if (!text.empty()) text += ' ';
        text += scope;
    }
    return text;
}

std::string CStratavoxFabriqoSession::beginSignIn(const std::string& accountServer, bool logOffFirst) {
    using support::percentEncode;
    waiting = SignIn{makeSignInState(), makePkcePair()};
    const std::string authorize =
        accountServer + "/authorize?" + "client_id=" + percentEncode(clientId) + "&" +
        "redirect_uri=" + percentEncode(redirectUri) + "&" + "scope=" + percentEncode(scopeText()) + "&" +
        "response_type=code&" + "state=" + percentEncode(waiting->state) + "&" +
        "code_challenge=" + percentEncode(waiting->pkce.challenge) + "&" + "code_challenge_method=S256";
    if (logOffFirst) return accountServer + "/logoff?next=" + percentEncode(authorize);
    return authorize;
}

std::string CStratavoxFabriqoSession::tokenRequestBody(const std::string& grantType,
                                                       const std::string& grantMembers) const {
    using support::percentEncode;
    return "client_id=" + percentEncode(clientId) + "&" + "redirect_uri=" + percentEncode(redirectUri) + "&" +
           "grant_type=" + grantType + "&" + "scope=" + percentEncode(scopeText()) + "&" + grantMembers;
}

CStratavoxFabriqoSession::Answer CStratavoxFabriqoSession::takeAnswer(const std::string& state, std::string& verifier) {
    if (std::find(answeredStates.begin(), answeredStates.end(), state) != answeredStates.end()) return Answer::Answered;
    // Compared in full whatever the text: a state is no secret once the
    // page has it, so timing tells nothing.
    if (!waiting || state.empty() || state != waiting->state) return Answer::Foreign;
    verifier = waiting->pkce.verifier;
    // A web view that reloads repeats only the last few answers.
    if (answeredStates.size() == kAnsweredStatesKept) answeredStates.erase(answeredStates.begin());
    answeredStates.push_back(state);
    waiting.reset();
    return Answer::Waiting;
}

std::string CStratavoxFabriqoSession::codeGrantMembers(const std::string& code, const std::string& verifier) {
    return "code=" + code + "&" + "code_verifier=" + support::percentEncode(verifier);
}

std::string CStratavoxFabriqoSession::refreshGrantMembers() const {
    return "refresh_token=" + support::percentEncode(refreshToken);
}

uint64_t CStratavoxFabriqoSession::beginExchange() { return ++sessionGeneration; }

void CStratavoxFabriqoSession::clear() {
    deleteKeptRefreshToken();
    accessToken.clear();
    refreshToken.clear();
    accessTokenExpiry = Clock::now();
    // A new session owes nothing to the pacing of the last one.
    nextRefreshAllowed = Clock::time_point();
    refreshBackoff = std::chrono::seconds(0);
    ++sessionGeneration;
}

void CStratavoxFabriqoSession::accept(const TokenAnswer& answer) {
    accessToken = answer.accessToken;
    const bool rotated = answer.refreshToken != refreshToken;
    refreshToken = answer.refreshToken;
    if (rotated) keepRefreshToken();
    // Taken as expired half a minute early, so no request goes out with a
    // token that dies on the way.
    accessTokenExpiry = Clock::now() + std::chrono::seconds(answer.expiresIn - 30);
    tokenLifetime = std::chrono::seconds(answer.expiresIn);
}

void CStratavoxFabriqoSession::acceptSignIn(const TokenAnswer& answer) {
    accept(answer);
    // A new session owes nothing to the pacing of the last one.
    nextRefreshAllowed = Clock::time_point();
    refreshBackoff = std::chrono::seconds(0);
}

bool CStratavoxFabriqoSession::isRefreshDue(Clock::time_point now) const {
    return !tokenRequestBusy && !refreshToken.empty() && accessTokenExpiry < now + kRefreshMargin &&
           now >= nextRefreshAllowed;
}

void CStratavoxFabriqoSession::refreshFailed() {
    refreshBackoff =
        refreshBackoff.count() == 0 ? std::chrono::seconds(1) : std::min(refreshBackoff * 2, std::chrono::seconds(60));
    nextRefreshAllowed = Clock::now() + refreshBackoff;
}

void CStratavoxFabriqoSession::refreshSucceeded(Clock::time_point sentAt) {
    refreshBackoff = std::chrono::seconds(0);
    nextRefreshAllowed = sentAt + tokenLifetime / 2;
}

void CStratavoxFabriqoSession::noteRefusedToken(const std::string& token) {
    if (!token.empty() && token == accessToken) accessTokenExpiry = Clock::now();
}

}  // namespace EXMIImpl
