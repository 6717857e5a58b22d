#include "emulator/account_service.h"

#include "emulator/crypto.h"
#include "emulator/json.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>

namespace emulator {

namespace {

// A parameter that must appear at most once; RFC 6749 refuses repeats.
bool single(const Params& params, const char* key, std::string& value, bool& repeated) {
    auto range = params.equal_range(key);
    if (range.first == range.second) return false;
    if (std::next(range.first) != range.second) repeated = true;
    value = range.first->second;
    return true;
}

bool hasRepeats(const Params& params) {
    for (auto it = params.begin(); it != params.end(); ++it) {
        if (params.count(it->first) > 1) return true;
    }
    return false;
}

bool isBase64UrlChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// An S256 challenge is the base64url text of 32 bytes: 43 characters, plus
// one '=' when the client keeps the padding.
bool challengeWellFormed(const std::string& challenge) {
    std::string body = challenge;
    if (body.size() == 44 && body.back() == '=') body.pop_back();
    if (body.size() != 43) return false;
    return std::all_of(body.begin(), body.end(), isBase64UrlChar);
}

// RFC 7636: 43 to 128 characters of [A-Z a-z 0-9 - . _ ~].
bool verifierWellFormed(const std::string& verifier) {
    if (verifier.size() < 43 || verifier.size() > 128) return false;
    return std::all_of(verifier.begin(), verifier.end(),
                       [](char c) { return isBase64UrlChar(c) || c == '.' || c == '~'; });
}

AccountService::Answer oauthError(int status, const std::string& error, const std::string& description) {
    AccountService::Answer answer;
    answer.status = status;
    answer.json = errorJson(error, description);
    return answer;
}

std::string appendQuery(const std::string& uri, const std::string& query) {
    return uri + (uri.find('?') == std::string::npos ? "?" : "&") + query;
}

}  // namespace

std::vector<std::string> splitScopes(const std::string& scope) {
    std::vector<std::string> scopes;
    std::size_t start = 0;
    while (start <= scope.size()) {
        std::size_t end = scope.find(' ', start);
        if (end == std::string::npos) end = scope.size();
        if (end > start) scopes.push_back(scope.substr(start, end - start));
        start = end + 1;
    }
    return scopes;
}

bool pkceMatches(const std::string& verifier, const std::string& challenge) {
    std::string expected = base64UrlEncode(sha256(verifier), false);
    std::string given = challenge;
    if (!given.empty() && given.back() == '=') given.pop_back();
    return !given.empty() && given == expected;
}

AccountService::AccountService(Config config) : config_(std::move(config)) {}

void AccountService::setRedirectUri(const std::string& uri) {
    std::lock_guard<std::mutex> lock(mutex_);
    config_.redirectUri = uri;
}

void AccountService::setTokenLifetime(std::chrono::seconds lifetime) {
    std::lock_guard<std::mutex> lock(mutex_);
    config_.tokenLifetime = lifetime;
}

std::string AccountService::redirectUri() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return config_.redirectUri;
}

bool AccountService::scopesAllowed(const std::string& scope) const {
    std::vector<std::string> scopes = splitScopes(scope);
    if (scopes.empty()) return false;
    for (const auto& s : scopes) {
        if (std::find(config_.allowedScopes.begin(), config_.allowedScopes.end(), s) == config_.allowedScopes.end()) {
            return false;
        }
    }
    return true;
}

AccountService::AuthorizeCheck AccountService::validateAuthorize(const Params& query, AuthorizeRequest& r) const {
    std::lock_guard<std::mutex> lock(mutex_);
    AuthorizeCheck check;
    bool repeated = false;
    single(query, "client_id", r.clientId, repeated);
    single(query, "redirect_uri", r.redirectUri, repeated);
    single(query, "scope", r.scope, repeated);
    single(query, "response_type", r.responseType, repeated);
    single(query, "state", r.state, repeated);
    single(query, "code_challenge", r.codeChallenge, repeated);
    single(query, "code_challenge_method", r.method, repeated);

    if (r.clientId.empty() || r.clientId != config_.clientId) {
        check.error = "invalid_client";
        check.description = "unknown client_id";
        return check;
    }
    if (r.redirectUri.empty() || r.redirectUri != config_.redirectUri) {
        check.error = "invalid_request";
        check.description = "redirect_uri is not registered for this client";
        return check;
    }
    check.redirectable = true;
    if (repeated || hasRepeats(query)) {
        check.error = "invalid_request";
        check.description = "repeated parameter";
    } else if (r.responseType != "code") {
        check.error = "unsupported_response_type";
        check.description = "only response_type=code is supported";
    } else if (!scopesAllowed(r.scope)) {
        check.error = "invalid_scope";
        check.description = "missing or unknown scope";
    } else if (r.codeChallenge.empty()) {
        check.error = "invalid_request";
        check.description = "PKCE code_challenge required";
    } else if (r.method != "S256") {
        check.error = "invalid_request";
        check.description = "code_challenge_method must be S256";
    } else if (!challengeWellFormed(r.codeChallenge)) {
        check.error = "invalid_request";
        check.description = "malformed code_challenge";
    } else {
        check.ok = true;
    }
    return check;
}

std::string AccountService::beginSignIn(const AuthorizeRequest& request) {
    std::string id = randomToken(16);
    std::lock_guard<std::mutex> lock(mutex_);
    pending_[id] = request;
    return id;
}

bool AccountService::pendingSignIn(const std::string& id, AuthorizeRequest& request) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = pending_.find(id);
    if (it == pending_.end()) return false;
    request = it->second;
    return true;
}

void AccountService::finishSignIn(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.erase(id);
}

bool AccountService::checkCredentials(const std::string& user, const std::string& password) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (user.empty()) return false;
    if (!config_.user.empty() && user != config_.user) return false;
    return password == config_.password;
}

std::string AccountService::createSession(const std::string& user) {
    std::string id = randomToken(16);
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_[id] = user;
    return id;
}

bool AccountService::sessionUser(const std::string& sessionId, std::string& user) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(sessionId);
    if (it == sessions_.end()) return false;
    user = it->second;
    return true;
}

void AccountService::endSession(const std::string& sessionId) {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.erase(sessionId);
}

std::string AccountService::issueCodeRedirect(const AuthorizeRequest& request, const std::string& user) {
    // Hex only: the client puts the code into the token form unencoded.
    std::string code = randomToken(20);
    std::lock_guard<std::mutex> lock(mutex_);
    Code entry;
    entry.request = request;
    entry.user = user;
    entry.expiry = Clock::now() + config_.codeLifetime;
    entry.grantId = randomToken(8);
    codes_[code] = entry;
    std::string query = "code=" + code;
    if (!request.state.empty()) query += "&state=" + httplib::detail::encode_query_param(request.state);
    return appendQuery(request.redirectUri, query);
}

std::string AccountService::errorRedirect(const AuthorizeRequest& request, const std::string& error,
                                          const std::string& description) const {
    std::string query = "error=" + error;
    if (!description.empty()) query += "&error_description=" + httplib::detail::encode_query_param(description);
    if (!request.state.empty()) query += "&state=" + httplib::detail::encode_query_param(request.state);
    return appendQuery(request.redirectUri, query);
}

AccountService::Answer AccountService::token(const Params& form) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (hasRepeats(form)) return oauthError(400, "invalid_request", "repeated parameter");
    bool repeated = false;
    std::string clientId, grantType;
    single(form, "client_id", clientId, repeated);
    if (clientId.empty() || clientId != config_.clientId) {
        return oauthError(401, "invalid_client", "unknown client_id");
    }
    if (!single(form, "grant_type", grantType, repeated) || grantType.empty()) {
        return oauthError(400, "invalid_request", "grant_type missing");
    }
    if (grantType == "authorization_code") return authorizationCodeGrant(form);
    if (grantType == "refresh_token") return refreshGrant(form);
    return oauthError(400, "unsupported_grant_type", "unsupported grant_type");
}

AccountService::Answer AccountService::authorizationCodeGrant(const Params& form) {
    bool repeated = false;
    std::string code, redirectUri, verifier, clientId;
    single(form, "client_id", clientId, repeated);
    if (!single(form, "code", code, repeated) || code.empty()) {
        return oauthError(400, "invalid_request", "code missing");
    }
    auto it = codes_.find(code);
    if (it == codes_.end()) return oauthError(400, "invalid_grant", "unknown authorization code");
    Code& entry = it->second;
    if (entry.used) {
        // A code presented twice may have been stolen: everything issued from
        // it is withdrawn.
        revokeGrant(entry.grantId);
        return oauthError(400, "invalid_grant", "authorization code already used");
    }
    // Any redemption attempt burns the code, so a wrong verifier cannot be
    // followed by guesses.
    entry.used = true;
    if (Clock::now() >= entry.expiry) {
        return oauthError(400, "invalid_grant", "authorization code expired");
    }
    if (entry.request.clientId != clientId) {
        return oauthError(400, "invalid_grant", "code was issued to another client");
    }
    single(form, "redirect_uri", redirectUri, repeated);
    if (redirectUri != entry.request.redirectUri) {
        return oauthError(400, "invalid_grant", "redirect_uri does not match the authorization");
    }
    if (!single(form, "code_verifier", verifier, repeated) || verifier.empty()) {
        return oauthError(400, "invalid_request", "code_verifier missing");
    }
    if (!verifierWellFormed(verifier) || !pkceMatches(verifier, entry.request.codeChallenge)) {
        return oauthError(400, "invalid_grant", "PKCE verification failed");
    }
    return issueTokens(entry.user, clientId, entry.request.scope, entry.grantId);
}

AccountService::Answer AccountService::refreshGrant(const Params& form) {
    bool repeated = false;
    std::string refresh, clientId, scope;
    single(form, "client_id", clientId, repeated);
    if (!single(form, "refresh_token", refresh, repeated) || refresh.empty()) {
        return oauthError(400, "invalid_request", "refresh_token missing");
    }
    auto it = refreshTokens_.find(refresh);
    if (it == refreshTokens_.end()) return oauthError(400, "invalid_grant", "unknown refresh token");
    Token granted = it->second;
    if (granted.clientId != clientId) {
        return oauthError(400, "invalid_grant", "refresh token was issued to another client");
    }
    // A narrower scope may be asked for, never a wider one.
    if (single(form, "scope", scope, repeated) && !scope.empty()) {
        std::vector<std::string> have = splitScopes(granted.scope);
        for (const auto& s : splitScopes(scope)) {
            if (std::find(have.begin(), have.end(), s) == have.end()) {
                return oauthError(400, "invalid_scope", "scope exceeds the original grant");
            }
        }
    } else {
        scope = granted.scope;
    }
    // Rotation: the old refresh token is spent.
    refreshTokens_.erase(it);
    return issueTokens(granted.user, clientId, scope, granted.grantId);
}

AccountService::Answer AccountService::issueTokens(const std::string& user, const std::string& clientId,
                                                   const std::string& scope, const std::string& grantId) {
    Token token{user, clientId, scope, grantId, Clock::now() + config_.tokenLifetime};
    std::string access = randomToken(24);
    std::string refresh = randomToken(24);
    accessTokens_[access] = token;
    refreshTokens_[refresh] = token;

    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writeMember(writer, "access_token", access);
    writeMember(writer, "token_type", "Bearer");
    writer.Key("expires_in");
    writer.Uint64(static_cast<std::uint64_t>(std::max<std::int64_t>(0, config_.tokenLifetime.count())));
    writeMember(writer, "refresh_token", refresh);
    writeMember(writer, "scope", scope);
    writer.EndObject();
    Answer answer;
    answer.json = buffer.GetString();
    return answer;
}

void AccountService::revokeGrant(const std::string& grantId) {
    for (auto* tokens : {&accessTokens_, &refreshTokens_}) {
        for (auto it = tokens->begin(); it != tokens->end();) {
            it = it->second.grantId == grantId ? tokens->erase(it) : std::next(it);
        }
    }
}

AccountService::Answer AccountService::checkBearer(const std::string& header, const std::string& scope) const {
    Answer answer;
    const std::string realm = "Bearer realm=\"plyx\"";
    std::string lower = header.substr(0, 7);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (header.empty() || lower != "bearer ") {
        answer.status = 401;
        answer.json = errorJson("unauthorized", "bearer token required");
        answer.wwwAuthenticate = realm;
        return answer;
    }
    std::string value = header.substr(7);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = accessTokens_.find(value);
    if (it == accessTokens_.end() || Clock::now() >= it->second.expiry) {
        answer.status = 401;
        std::string why = it == accessTokens_.end() ? "unknown access token" : "access token expired";
        answer.json = errorJson("invalid_token", why);
        answer.wwwAuthenticate = realm + ", error=\"invalid_token\", error_description=\"" + why + "\"";
        return answer;
    }
    std::vector<std::string> have = splitScopes(it->second.scope);
    if (std::find(have.begin(), have.end(), scope) == have.end()) {
        answer.status = 403;
        answer.json = errorJson("insufficient_scope", "scope " + scope + " required");
        answer.wwwAuthenticate = realm + ", error=\"insufficient_scope\", scope=\"" + scope + "\"";
        return answer;
    }
    return answer;
}

std::string AccountService::issueAccessToken(const std::vector<std::string>& scopes) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string scope;
    for (const auto& s : scopes.empty() ? config_.allowedScopes : scopes) {
        scope += (scope.empty() ? "" : " ") + s;
    }
    std::string access = randomToken(24);
    accessTokens_[access] =
        Token{"tester", config_.clientId, scope, randomToken(8), Clock::now() + config_.tokenLifetime};
    return access;
}

void AccountService::expireAccessTokens() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : accessTokens_) entry.second.expiry = Clock::now();
}

}  // namespace emulator
