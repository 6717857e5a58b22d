#include "cloud/stratavox_connector.h"

#include <algorithm>
#include <stdexcept>

#include "cloud/cloud_json.h"
#include "cloud/pkce.h"
#include "cloud/rest_result.h"
#include "net/service_addresses.h"
#include "support/encoding.h"
#include "support/log.h"
#include "support/text.h"

namespace EXMIImpl {
namespace {

const char* const kFormContentType = "application/x-www-form-urlencoded";

// The value of the query parameter `name`, matched at a parameter boundary;
// empty when absent.
std::string queryParameter(const std::string& query, const std::string& name) {
    const std::string key = name + "=";
    size_t start = 0;
    while (start < query.size()) {
        if (query[start] == '?' || query[start] == '&') ++start;
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        if (query.compare(start, key.size(), key) == 0)
            return query.substr(start + key.size(), end - start - key.size());
        start = end;
    }
    return std::string();
}

}  // namespace

CStratavoxFabriqoConnector::CStratavoxFabriqoConnector(const std::string& clientIdText,
                                                       const std::string& redirectUriText,
                                                       IStratavoxURLInterface* listenerPointer,
                                                       std::shared_ptr<EXMI::IAsyncHandler> handler)
    : asyncHandler(std::move(handler)), listener(listenerPointer), apiBaseUrl(EXMIImpl::apiBaseUrl()),
      accountBaseUrl(accountServerUrl()), webAppBaseUrl(webAppUrl()), clientId(clientIdText),
      redirectUri(redirectUriText), accessTokenExpiry(Clock::now()), alive(std::make_shared<int>(0)) {
    if (!asyncHandler) throw std::runtime_error("invalid EXMI Async handler");
    const PkcePair pair = makePkcePair(64);
    codeVerifier = pair.verifier;
    codeChallenge = pair.challenge;
    progressTick = asyncHandler->addTick(guarded([this] { reportProgress(false); }));
}

CStratavoxFabriqoConnector::~CStratavoxFabriqoConnector() {
    asyncHandler->removeTick(progressTick);
    // Whatever is still on its way is of no use to anybody now.
    if (upload.put) upload.put->cancel();
}

void CStratavoxFabriqoConnector::addScope(std::string scope) {
    if (isSignedIn()) throw std::runtime_error("cannot change scope while logged in");
    if (scope.empty()) return;
    scopes.push_back(std::move(scope));
}

bool CStratavoxFabriqoConnector::isSignedIn() const { return !accessToken.empty() && Clock::now() < accessTokenExpiry; }

std::string CStratavoxFabriqoConnector::scopeText() const {
    std::string text;
    for (const auto& scope : scopes) {
        if (!text.empty()) text += ' ';
        text += scope;
    }
    return text;
}

std::string CStratavoxFabriqoConnector::getAuthorizeUrl(bool logOffFirst) const {
    using support::percentEncode;
    const std::string authorize =
        accountBaseUrl + "/authorize?" + "client_id=" + percentEncode(clientId) + "&" +
        "redirect_uri=" + percentEncode(redirectUri) + "&" + "scope=" + percentEncode(scopeText()) + "&" +
        "response_type=" + percentEncode(responseType) + "&" + "state=" + percentEncode(state) + "&" +
        "code_challenge=" + percentEncode(codeChallenge) + "&" +
        "code_challenge_method=" + percentEncode(codeChallengeMethod);
    if (logOffFirst) return accountBaseUrl + "/logoff?next=" + percentEncode(authorize);
    return authorize;
}

void CStratavoxFabriqoConnector::handleRedirect(const std::string& address) {
    if (address.compare(0, redirectUri.size(), redirectUri) != 0) return;
    const std::string rest = address.substr(redirectUri.size());
    const size_t question = rest.find('?');
    if (question == std::string::npos) return;
    // A "code" parameter proper: "?xcode=..." or "&error_code=..." is not one.
    const std::string code = queryParameter(rest.substr(question), "code");
    if (code.empty()) return;
    authenticate(code);
    if (listener) listener->setScreen(IStratavoxURLInterface::kScreenReloadPage, "");
}

void CStratavoxFabriqoConnector::acceptTokenAnswer(const std::string& body) {
    tokenRequestBusy = false;
    const TokenAnswer answer = readTokenAnswer(body);
    accessToken = answer.accessToken;
    refreshToken = answer.refreshToken;
    // Taken as expired half a minute early, so no request goes out with a
    // token that dies on the way.
    accessTokenExpiry = Clock::now() + std::chrono::seconds(answer.expiresIn - 30);
    tokenLifetime = std::chrono::seconds(answer.expiresIn);
}

void CStratavoxFabriqoConnector::refreshFailed() {
    refreshBackoff =
        refreshBackoff.count() == 0 ? std::chrono::seconds(1) : std::min(refreshBackoff * 2, std::chrono::seconds(60));
    nextRefreshAllowed = Clock::now() + refreshBackoff;
}

std::shared_ptr<EXMI::IAsyncPostRequest>
CStratavoxFabriqoConnector::tokenRequest(const std::string& name, const std::string& grantType,
                                         const std::string& grantMembers) const {
    using support::percentEncode;
    const std::string body = "client_id=" + percentEncode(clientId) + "&" +
                             "redirect_uri=" + percentEncode(redirectUri) + "&" + "grant_type=" + grantType + "&" +
                             "scope=" + percentEncode(scopeText()) + "&" + grantMembers;
    return EXMI::createPostRequest(name, accountBaseUrl + "/token", kFormContentType, "", body, requestTimeout);
}

void CStratavoxFabriqoConnector::authenticate(const std::string& code) {
    using support::percentEncode;
    accessToken.clear();
    refreshToken.clear();
    accessTokenExpiry = Clock::now();
    // A new session owes nothing to the pacing of the last one.
    nextRefreshAllowed = Clock::time_point();
    refreshBackoff = std::chrono::seconds(0);
    const uint64_t generation = ++sessionGeneration;

    // The code goes as the account service handed it over, unencoded.
    auto request = tokenRequest("authenticate", "authorization_code",
                                "code=" + code + "&" + "code_verifier=" + percentEncode(codeVerifier));
    asyncHandler->submit(request, guarded([this, generation](EXMI::IAsyncResponse* response) {
                             // A newer sign-in or a sign-out made this answer obsolete.
                             if (generation != sessionGeneration) return;
                             const auto* rest = asRest(response);
                             if (rest == nullptr) return;
                             tokenRequestBusy = false;
                             if (!isSuccess(rest->getCode())) {
                                 fail("CStratavoxFabriqoConnector::authenticate",
                                      "could not authenticate (" + std::to_string(rest->getCode()) + ")");
                                 return;
                             }
                             acceptTokenAnswer(rest->getBody());
                             if (listener) listener->setScreen(IStratavoxURLInterface::kScreenUploadForm, "");
                             retrieveProjects();
                         }),
                         guarded([this, generation](EXMI::IAsyncRequest*, const std::string& message) {
                             if (generation != sessionGeneration) return;
                             fail("CStratavoxFabriqoConnector::authenticate", message);
                             tokenRequestBusy = false;
                         }));
}

void CStratavoxFabriqoConnector::refreshTokenIfNeeded() {
    using support::percentEncode;
    if (tokenRequestBusy || refreshToken.empty()) return;
    const Clock::time_point now = Clock::now();
    if (accessTokenExpiry >= now + std::chrono::minutes(refreshMarginMinutes)) return;
    if (now < nextRefreshAllowed) return;

    tokenRequestBusy = true;
    const uint64_t generation = sessionGeneration;
    auto request = tokenRequest("refreshtoken", "refresh_token", "refresh_token=" + percentEncode(refreshToken));
    try {
        asyncHandler->submit(request, guarded([this, generation, now](EXMI::IAsyncResponse* response) {
                                 tokenRequestBusy = false;
                                 // Never revive a session that was signed out meanwhile.
                                 if (generation != sessionGeneration) return;
                                 const auto* rest = asRest(response);
                                 if (rest == nullptr) return;
                                 if (!isSuccess(rest->getCode())) {
                                     refreshFailed();
                                     support::log("token refresh refused (" + std::to_string(rest->getCode()) + ")",
                                                  "CStratavoxFabriqoConnector::refreshTokenIfNeeded");
                                     return;
                                 }
                                 try {
                                     acceptTokenAnswer(rest->getBody());
                                     refreshBackoff = std::chrono::seconds(0);
                                     nextRefreshAllowed = now + tokenLifetime / 2;
                                 } catch (const std::exception& error) {
                                     // The old tokens stay; a later heartbeat tries again.
                                     refreshFailed();
                                     support::log(std::string("token refresh failed: ") + error.what(),
                                                  "CStratavoxFabriqoConnector::refreshTokenIfNeeded");
                                 }
                             }),
                             guarded([this, generation](EXMI::IAsyncRequest*, const std::string& message) {
                                 tokenRequestBusy = false;
                                 if (generation == sessionGeneration) refreshFailed();
                                 support::log("token refresh failed: " + message,
                                              "CStratavoxFabriqoConnector::refreshTokenIfNeeded");
                             }));
    } catch (...) {
        // Nothing outstanding after all: let the next heartbeat try again.
        tokenRequestBusy = false;
        throw;
    }
}

void CStratavoxFabriqoConnector::signOut() {
    accessToken.clear();
    refreshToken.clear();
    accessTokenExpiry = Clock::now();
    nextRefreshAllowed = Clock::time_point();
    refreshBackoff = std::chrono::seconds(0);
    ++sessionGeneration;
    if (listener) listener->onSignedOut();
}

void CStratavoxFabriqoConnector::noteRefusedToken(uint32_t code, const std::string& token) {
    if (code == 401 && !token.empty() && token == accessToken) accessTokenExpiry = Clock::now();
}

void CStratavoxFabriqoConnector::fail(const std::string& source, const std::string& message) {
    support::log(message, source);
    if (listener) listener->setScreen(IStratavoxURLInterface::kScreenError, message);
}

void CStratavoxFabriqoConnector::fail(const std::string& source, const std::string& message,
                                      const std::string& answer) {
    const std::string shown = support::clipText(answer, kShownAnswerBytes);
    support::log(message + support::escapeForLog(shown), source);
    if (listener) listener->setScreen(IStratavoxURLInterface::kScreenError, message + shown);
}

}  // namespace EXMIImpl
