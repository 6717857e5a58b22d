#pragma once
// CStratavoxFabriqoSession is the sign-in session with the account service:
// the client's identity and scopes, the sign-in that waits for its redirect
// (its state and PKCE pair, fresh for every sign-in) and the states of those
// already answered, the tokens and the refresh schedule. The access token is
// held in memory only; the current refresh token is also kept in the
// system's credential store, so that the next start of the host can sign in
// without asking (where no store is reachable it lives in memory only, and
// the log says so once). It builds what the token requests carry and decides
// when a refresh is due; the connector sends them. Used on the host's UI
// thread only, by its connector.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cloud/cloud_json.h"
#include "cloud/pkce.h"
#include "platform/credential_store.h"

namespace EXMIImpl {

class CStratavoxFabriqoSession {
public:
    using Clock = std::chrono::steady_clock;
    // A token is renewed once it has less than this left.
    static constexpr std::chrono::minutes kRefreshMargin{1};
    // How many answered sign-ins are remembered, so that their repeated
    // redirects are ignored instead of refused.
    static constexpr size_t kAnsweredStatesKept = 16;

    // The refresh token of `accountServer` is kept in `store`; none is kept
    // without one.
    CStratavoxFabriqoSession(std::string clientId, std::string redirectUri, std::string accountServer,
                             std::unique_ptr<platform::CredentialStore> store);

    void addScope(std::string scope);
    const std::vector<std::string>& getScopes() const { return scopes; }
    const std::string& getRedirectUri() const { return redirectUri; }
    const std::string& getAccessToken() const { return accessToken; }
    Clock::time_point getAccessTokenExpiry() const { return accessTokenExpiry; }
    bool isSignedIn() const { return !accessToken.empty() && Clock::now() < accessTokenExpiry; }
    bool hasRefreshToken() const { return !refreshToken.empty(); }

    // Staying signed in. Takes the refresh token kept from an earlier run
    // when the session holds none; true when the session has one now.
    bool recallRefreshToken();
    // The kept refresh token was refused: it goes from the store and from
    // the session.
    void dropRefreshToken();

    // Starts a sign-in with a fresh state and PKCE pair, which replaces any
    // sign-in still waiting, and returns its page at `accountServer`; behind
    // the server's sign-out address when `logOffFirst`.
    std::string beginSignIn(const std::string& accountServer, bool logOffFirst);

    // Whose answer a redirect carrying `state` is.
    enum class Answer {
        Waiting,   // the sign-in that waits: it waits no longer
        Answered,  // a sign-in whose answer came before
        Foreign,   // no sign-in of this session (or one that was replaced)
    };
    // Matches a redirect's state; for the waiting sign-in, its verifier goes
    // to `verifier`.
    Answer takeAnswer(const std::string& state, std::string& verifier);
    bool isSignInWaiting() const { return waiting.has_value(); }
    // A token request's form body: the client, the grant type and the scope,
    // then `grantMembers` (already form-encoded), in the order the service
    // has always been sent them.
    std::string tokenRequestBody(const std::string& grantType, const std::string& grantMembers) const;
    // The grant members of an authorization code (sent as the service handed
    // it over) with its sign-in's verifier, and of a refresh.
    static std::string codeGrantMembers(const std::string& code, const std::string& verifier);
    std::string refreshGrantMembers() const;

    // A code is being exchanged: answers to token requests sent before it
    // are of no use any more. The tokens stay until its answer replaces
    // them, so an exchange that fails leaves a signed-in user signed in.
    // Returns the new generation.
    uint64_t beginExchange();
    // Sign-out: the same, without a new sign-in; the kept refresh token is
    // deleted first.
    void clear();
    // Token answers of requests sent before the last restart or clear
    // belong to a session that no longer exists.
    bool isCurrent(uint64_t generation) const { return generation == sessionGeneration; }
    uint64_t getGeneration() const { return sessionGeneration; }
    // Applies a token answer: of a refresh, and of an exchange, which also
    // forgets the refresh pacing of the tokens it replaces. The new refresh
    // token is kept in place of the old one.
    void accept(const TokenAnswer& answer);
    void acceptSignIn(const TokenAnswer& answer);

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
    // A store that cannot be reached is not asked again this session; that
    // is logged once.
    void storeUnreachable();
    void keepRefreshToken();
    void deleteKeptRefreshToken();

    const std::string clientId;
    const std::string redirectUri;
    const std::string accountServer;
    std::unique_ptr<platform::CredentialStore> store;
    std::vector<std::string> scopes;
    struct SignIn {
        std::string state;
        PkcePair pkce;
    };
    std::optional<SignIn> waiting;
    // The states of the latest answered sign-ins, oldest first.
    std::vector<std::string> answeredStates;
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
