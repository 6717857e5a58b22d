#pragma once
// CStratavoxFabriqoConnector is the add-in's client of the cloud service. It
// owns the sign-in session (PKCE pair, tokens held in memory only) and offers
// every cloud operation: sign-in and token refresh, project list, project
// creation with thumbnail, and the two-step file / print-job upload. Requests
// run on the shared IAsyncHandler's workers; every operation and every
// callback runs on the host's UI thread (callbacks through processResponses),
// so the connector holds no lock. Results reach the palette through the
// IStratavoxURLInterface listener. Callbacks of requests still in flight when
// the connector is destroyed are dropped, never dispatched to it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cloud/stratavox_url_interface.h"
#include "net/async_handler.h"

namespace EXMIImpl {

class CStratavoxFabriqoConnector {
public:
    using Clock = std::chrono::steady_clock;

    // The time limit of every request to the service unless a test sets
    // another.
    static constexpr std::chrono::seconds kRequestTimeout{600000};
    // How much of a service's error answer reaches the page and the log.
    static constexpr size_t kShownAnswerBytes = 4096;

    // Throws "invalid EXMI Async handler" when asyncHandler is null. The
    // service addresses come from cloud/service_addresses.h.
    CStratavoxFabriqoConnector(const std::string& clientId, const std::string& redirectUri,
                               IStratavoxURLInterface* listener, std::shared_ptr<EXMI::IAsyncHandler> asyncHandler);
    ~CStratavoxFabriqoConnector();
    CStratavoxFabriqoConnector(const CStratavoxFabriqoConnector&) = delete;
    CStratavoxFabriqoConnector& operator=(const CStratavoxFabriqoConnector&) = delete;

    // Sign-in.
    void addScope(std::string scope);
    std::string getAuthorizeUrl(bool logOffFirst) const;
    void handleRedirect(const std::string& address);
    void authenticate(const std::string& code);
    void refreshTokenIfNeeded();
    bool isSignedIn() const;
    void signOut();

    // Library projects.
    void retrieveProjects();
    void showUploadForm();
    void createProject(const std::string& name, const std::string& description, const std::string& localFilePath,
                       const std::string& remoteFileName, const std::string& contentType,
                       const std::string& thumbnailPath, bool isPrintJob);
    void uploadThumbnail(const std::string& projectId, const std::string& name, const std::string& description,
                         const std::string& imagePath, const std::string& mimeType);

    // Uploads and the web application.
    void uploadToProject(const std::string& projectId, const std::string& localFilePath,
                         const std::string& remoteFileName, const std::string& contentType, bool isPrintJob);
    void uploadFile(const std::string& projectId, const std::string& remoteFileName, const std::string& contentType,
                    const std::string& localFilePath, const std::string& origin, bool isPrintJob);
    void openWebApp(const std::string& projectId);

    // One upload runs at a time, from createProject or uploadToProject until
    // its success or error screen or its cancellation.
    bool isUploading() const { return upload.running; }
    // Aborts the running upload: nothing more of it is sent, and the page
    // goes back to a fresh upload form. Does nothing when none runs.
    void cancelUpload();
    // Tells the listener that an export for an upload is being made.
    void reportExporting();

    // Observers and tuning, for the palette and for tests.
    const std::string& getCodeVerifier() const { return codeVerifier; }
    const std::string& getCodeChallenge() const { return codeChallenge; }
    const std::vector<std::string>& getScopes() const { return scopes; }
    const std::string& getCurrentProjectId() const { return currentProjectId; }
    Clock::time_point getAccessTokenExpiry() const { return accessTokenExpiry; }
    bool isTokenRequestBusy() const { return tokenRequestBusy; }
    void setRequestTimeout(std::chrono::seconds timeout) { requestTimeout = timeout; }
    // The address openWebApp opens for a project id (empty: the library page).
    std::string webAppAddress(const std::string& projectId) const;

private:
    template <typename Callback>
    auto guarded(Callback callback) const;
    std::string scopeText() const;
    // A form-encoded request to the account service's token endpoint: the
    // client, the grant type and the scope, then `grantMembers` (already
    // form-encoded), in the order the service has always been sent them.
    std::shared_ptr<EXMI::IAsyncPostRequest> tokenRequest(const std::string& name, const std::string& grantType,
                                                          const std::string& grantMembers) const;
    // Applies a token answer; throws its reading errors.
    void acceptTokenAnswer(const std::string& body);
    void fail(const std::string& source, const std::string& message);
    // The same with text from the service after the message: at most the
    // first kShownAnswerBytes of it are shown and logged, escaped in the log.
    void fail(const std::string& source, const std::string& message, const std::string& answer);
    // A 401 to a request sent with `token` means the service no longer takes
    // that token, whatever its expiry said: unless a newer token replaced it
    // meanwhile, it counts as expired from now on, so the page's next
    // "upload another" signs in again and the next heartbeat tries the
    // refresh token, instead of every retry meeting the same refusal.
    void noteRefusedToken(uint32_t code, const std::string& token);
    void submitStorageUpload(const std::string& uploadUrl, const std::string& localFilePath,
                             const std::string& projectId, uint64_t fileSize, uint64_t generation);

    // The state of the running upload; `generation` tells its callbacks
    // from those of an upload that was cancelled or has ended.
    struct UploadRun {
        bool running = false;
        std::string phase;
        uint64_t total = 0;
        std::shared_ptr<EXMI::IAsyncPutFileRequest> put;
    };
    uint64_t beginUpload(const std::string& phase);
    bool isCurrentUpload(uint64_t generation) const { return upload.running && generation == uploadGeneration; }
    void endUpload();
    void failUpload(const std::string& source, const std::string& message);
    void failUpload(const std::string& source, const std::string& message, const std::string& answer);
    // The export's size, after checking that it can go up in one piece;
    // fails the upload and returns false otherwise.
    bool checkUploadFile(const std::string& path, const std::string& source, uint64_t& size);
    // Rate-limited unless `final`.
    void reportProgress(bool final);

    std::shared_ptr<EXMI::IAsyncHandler> asyncHandler;
    IStratavoxURLInterface* listener;
    std::chrono::seconds requestTimeout = kRequestTimeout;
    int32_t refreshMarginMinutes = 1;
    std::string apiBaseUrl;
    std::string accountBaseUrl;
    std::string webAppBaseUrl;
    std::string clientId;
    std::string redirectUri;
    std::vector<std::string> scopes;
    std::string responseType = "code";
    std::string state = "STATE";
    std::string codeChallengeMethod = "S256";
    std::string codeVerifier;
    std::string codeChallenge;
    std::string accessToken;
    std::string refreshToken;
    Clock::time_point accessTokenExpiry;
    bool tokenRequestBusy = false;
    // Refresh pacing: no refresh before nextRefreshAllowed. After a failed
    // refresh the wait doubles from a second up to a minute (a success resets
    // it); after a successful one it is half the new token's lifetime, so a
    // token that lives barely longer than the safety margin is not renewed
    // on every heartbeat.
    Clock::time_point nextRefreshAllowed;
    std::chrono::seconds refreshBackoff{0};
    std::chrono::seconds tokenLifetime{0};
    void refreshFailed();
    std::string currentProjectId;
    // Bumped by every authenticate and signOut: token answers of requests
    // sent before then belong to a session that no longer exists.
    uint64_t sessionGeneration = 0;
    UploadRun upload;
    uint64_t uploadGeneration = 0;
    // What the listener was last told of progress, and when; recent
    // (time, bytes sent) pairs for the rate.
    Clock::time_point lastProgressTime;
    bool progressReported = false;
    std::string lastProgressPhase;
    uint64_t lastProgressSent = 0;
    std::deque<std::pair<Clock::time_point, uint64_t>> rateSamples;
    int progressTick = 0;
    // Callbacks hold a weak reference to this; it dies with the connector.
    std::shared_ptr<int> alive;
};

// Wraps a request callback so that it does nothing once the connector is
// gone. Callbacks and destruction both run on the UI thread, so the check
// cannot race with the destructor.
template <typename Callback>
auto CStratavoxFabriqoConnector::guarded(Callback callback) const {
    std::weak_ptr<int> token = alive;
    return [token, callback](auto&&... args) {
        if (token.expired()) return;
        callback(std::forward<decltype(args)>(args)...);
    };
}

}  // namespace EXMIImpl
