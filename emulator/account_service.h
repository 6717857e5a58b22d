#pragma once
// AccountService: the account server's state and rules, free of HTTP:
// registered client, pending sign-ins, browser sessions, authorization codes
// (single use, bound to client, redirect URI and PKCE challenge), access and
// refresh tokens with their scopes and expiry.
//
// Owned by the emulator; called from the server's worker threads and from
// the test thread at once, so every public member locks the one mutex.

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace emulator {

using Params = std::multimap<std::string, std::string>;

class AccountService {
public:
    struct Config {
        std::string clientId;
        std::string redirectUri;
        std::vector<std::string> allowedScopes;
        std::string user;  // empty: any non-empty user name
        std::string password;
        std::chrono::seconds tokenLifetime{3600};
        std::chrono::seconds codeLifetime{60};
    };

    // What a sign-in is for, as read from the authorize query.
    struct AuthorizeRequest {
        std::string clientId, redirectUri, scope, responseType, state, codeChallenge, method;
    };

    struct AuthorizeCheck {
        bool ok = false;
        // False when client id or redirect URI is wrong: the error is shown as a
        // page and never sent to the unverified redirect target.
        bool redirectable = false;
        std::string error;        // OAuth error code
        std::string description;  // human text
    };

    // An answer of the token endpoint or of a bearer check.
    struct Answer {
        int status = 200;
        std::string json;
        std::string wwwAuthenticate;  // set for 401/403 bearer failures
    };

    explicit AccountService(Config config);

    void setRedirectUri(const std::string& uri);
    void setTokenLifetime(std::chrono::seconds lifetime);
    std::string redirectUri() const;

    AuthorizeCheck validateAuthorize(const Params& query, AuthorizeRequest& request) const;
    // Parks a validated request while the user fills in the form.
    std::string beginSignIn(const AuthorizeRequest& request);
    bool pendingSignIn(const std::string& id, AuthorizeRequest& request) const;
    void finishSignIn(const std::string& id);
    bool checkCredentials(const std::string& user, const std::string& password) const;

    std::string createSession(const std::string& user);
    bool sessionUser(const std::string& sessionId, std::string& user) const;
    void endSession(const std::string& sessionId);

    // Issues a code and returns the redirect address carrying it.
    std::string issueCodeRedirect(const AuthorizeRequest& request, const std::string& user);
    std::string errorRedirect(const AuthorizeRequest& request, const std::string& error,
                              const std::string& description) const;

    // POST /token with its form parameters (both grants).
    Answer token(const Params& form);

    // Checks "Authorization: Bearer ..." for a scope; status 200 when fine.
    Answer checkBearer(const std::string& authorizationHeader, const std::string& scope) const;

    std::string issueAccessToken(const std::vector<std::string>& scopes);
    void expireAccessTokens();

private:
    using Clock = std::chrono::steady_clock;
    struct Code {
        AuthorizeRequest request;
        std::string user;
        Clock::time_point expiry;
        bool used = false;
        std::string grantId;
    };
    struct Token {
        std::string user, clientId, scope, grantId;
        Clock::time_point expiry;  // access tokens only
    };

    Answer issueTokens(const std::string& user, const std::string& clientId, const std::string& scope,
                       const std::string& grantId);
    Answer authorizationCodeGrant(const Params& form);
    Answer refreshGrant(const Params& form);
    void revokeGrant(const std::string& grantId);
    bool scopesAllowed(const std::string& scope) const;

    mutable std::mutex mutex_;
    Config config_;
    std::map<std::string, AuthorizeRequest> pending_;
    std::map<std::string, std::string> sessions_;  // id -> user
    std::map<std::string, Code> codes_;
    std::map<std::string, Token> accessTokens_;
    std::map<std::string, Token> refreshTokens_;
};

// Splits a scope text at spaces, dropping empty pieces.
std::vector<std::string> splitScopes(const std::string& scope);
// True when the verifier hashes to the challenge as S256 asks; the
// challenge may carry the base64 '=' padding or not.
bool pkceMatches(const std::string& verifier, const std::string& challenge);

}  // namespace emulator
