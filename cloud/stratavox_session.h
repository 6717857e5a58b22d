#pragma once
// CStratavoxFabriqoSession is the sign-in session with the account service:
// the client's identity and scopes, the PKCE pair, the tokens (held in memory
// only) and the refresh schedule. It builds what the token requests carry and
// decides when a refresh is due; the connector sends them. Used on the host's
// UI thread only, by its connector.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "cloud/cloud_json.h"

namespace EXMIImpl {

class CStratavoxFabriqoSession {
public:
    using Clock = std::chrono::steady_clock;
    // A token is renewed once it has less than this left.
    static constexpr std::chrono::minutes kRefreshMargin{1};

    CStratavoxFabriqoSession(std::string clientId, std::string redirectUri);

    void addScope(std::string scope);
    const std::vector<std::string>& getScopes() const { return scopes; }
    const std::string& getRedirectUri() const { return redirectUri; }
    const std::string& getCodeVerifier() const { return codeVerifier; }
    const std::string& getCodeChallenge() const { return codeChallenge; }
    const std::string& getAccessToken() const { return accessToken; }
    Clock::time_point getAccessTokenExpiry() const { return accessTokenExpiry; }
    bool isSignedIn() const { return !accessToken.empty() && Clock::now() < accessTokenExpiry; }

    // The sign-in page of `accountServer`; behind its sign-out address when
    // `logOffFirst`.
    std::string authorizeUrl(const std::string& accountServer, bool logOffFirst) const;
    // A token request's form body: the client, the grant type and the scope,
    // then `grantMembers` (already form-encoded), in the order the service
    // has always been sent them.
    std::string tokenRequestBody(const std::string& grantType, const std::string& grantMembers) const;
    // The grant members of an authorization code (sent as the service handed
    // it over) and of a refresh.
    std::string codeGrantMembers(const std::string& code) const;
    std::string refreshGrantMembers() const;

    // A new sign-in: the tokens and the pacing of the last one are
    // forgotten. Returns the new session's generation.
    uint64_t restart();
    // Sign-out: the same, without a new sign-in.
    void clear();
    // Token answers of requests sent before the last restart or clear
    // belong to a session that no longer exists.
    bool isCurrent(uint64_t generation) const { return generation == sessionGeneration; }
    uint64_t getGeneration() const { return sessionGeneration; }
    // Applies a token answer.
    void accept(const TokenAnswer& answer);

    // Refresh pacing: no refresh while one runs, before the margin, or
    // before nextRefreshAllowed. After a failed refresh the wait doubles from
    // a second up to a minute (a success resets it); after a successful one
    // it is half the new token's lifetime, so a token that lives barely
    // longer than the safety margin is not renewed on every heartbeat.
    bool isRefreshDue(Clock::time_point now) const;
    bool isTokenRequestBusy() const { return tokenRequestBusy; }
    void setTokenRequestBusy(bool busy) { tokenRequestBusy = busy; }
    void refreshFailed();
    void refreshSucceeded(Clock::time_point sentAt);

    // A 401 to a request sent with `token` means the service no longer takes
    // that token, whatever its expiry said: unless a newer token replaced it
    // meanwhile, it counts as expired from now on, so the page's next
    // "upload another" signs in again and the next heartbeat tries the
    // refresh token, instead of every retry meeting the same refusal.
    void noteRefusedToken(const std::string& token);

private:
    std::string scopeText() const;

    const std::string clientId;
    const std::string redirectUri;
    std::vector<std::string> scopes;
    std::string codeVerifier;
    std::string codeChallenge;
    std::string accessToken;
    std::string refreshToken;
    Clock::time_point accessTokenExpiry;
    std::chrono::seconds tokenLifetime{0};
    bool tokenRequestBusy = false;
    Clock::time_point nextRefreshAllowed;
    std::chrono::seconds refreshBackoff{0};
    uint64_t sessionGeneration = 0;
};

}  // namespace EXMIImpl
