#pragma once
// CStratavoxFabriqoConnector is the add-in's client of the cloud service. It
// owns the service configuration (read once, on construction) and one object
// per responsibility: the sign-in session with its token schedule
// (CStratavoxFabriqoSession), the projects (CStratavoxFabriqoProjects) and
// the running upload (CStratavoxFabriqoUpload). It offers every cloud
// operation under the contract's names (sign-in and token refresh, project
// list, project creation with thumbnail, and the two-step file / print-job
// upload), sends the requests those objects build and dispatches the answers. Requests run on the shared
// IAsyncHandler's workers; every operation and every callback runs on the
// host's UI thread (callbacks through processResponses; checked), so the
// connector holds no lock. Results reach the palette through the
// IStratavoxURLInterface listener. Callbacks of requests still in flight when
// the connector is destroyed are dropped, never dispatched to it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cloud/cloud_failure.h"
#include "cloud/service_configuration.h"
#include "cloud/stratavox_projects.h"
#include "cloud/stratavox_session.h"
#include "cloud/stratavox_upload.h"
#include "cloud/stratavox_url_interface.h"
#include "net/async_handler.h"
#include "support/sequence_checker.h"

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
    // service configuration comes from the environment, read here.
    CStratavoxFabriqoConnector(const std::string& clientId, const std::string& redirectUri,
                               IStratavoxURLInterface* listener, std::shared_ptr<EXMI::IAsyncHandler> asyncHandler);
    ~CStratavoxFabriqoConnector();
    CStratavoxFabriqoConnector(const CStratavoxFabriqoConnector&) = delete;
    CStratavoxFabriqoConnector& operator=(const CStratavoxFabriqoConnector&) = delete;

    // Sign-in.
    void addScope(std::string scope) { session.addScope(std::move(scope)); }
    // Starts a sign-in (a fresh state and PKCE pair, replacing any sign-in
    // that waits) and returns the address of its page; behind the account
    // server's sign-out address when `logOffFirst`.
    std::string getAuthorizeUrl(bool logOffFirst) { return session.beginSignIn(service.accountServerUrl, logOffFirst); }
    // Every address the palette's web view navigates to. A sign-in answer
    // (with "code" or "error") is taken only when its state is that of the
    // sign-in that waits, and then only once.
    void handleRedirect(const std::string& address);
    void refreshTokenIfNeeded();
    bool isSignedIn() const { return session.isSignedIn(); }
    // Staying signed in, for the palette that opens: true when the session
    // is signed in, or when it holds a refresh token (this run's, or the one
    // kept from an earlier run) and a silent refresh has been sent with it;
    // the answer brings the upload form, the error screen (the token stays
    // for another try) or, when the server refuses the token, the sign-in
    // page (the token is deleted). False: the user signs in on the server's
    // page.
    bool resumeSignIn();
    // Deletes the kept refresh token first, then forgets the tokens; the
    // listener hears of it when there was a sign-in to end.
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

    // One upload runs at a time, from beginUpload (or createProject or
    // uploadToProject) until its success or error screen or its
    // cancellation.
    bool isUploading() const { return upload != nullptr; }
    // The running upload; null when none runs.
    CStratavoxFabriqoUpload* getUpload() const { return upload.get(); }
    // Starts an upload in the "exporting" phase, for its exports to be made
    // and adopted; createProject or uploadToProject then send it. Replaces
    // an upload not yet sent.
    CStratavoxFabriqoUpload& beginUpload();
    // Ends the running upload without a word to the page (its export
    // failed, and the caller says so).
    void abandonUpload();
    // Aborts the running upload: nothing more of it is sent, and the page
    // goes back to a fresh upload form. Does nothing when none runs.
    void cancelUpload();

    // Observers and tuning, for the palette and for tests.
    const std::vector<std::string>& getScopes() const { return session.getScopes(); }
    const std::string& getCurrentProjectId() const { return projects.getCurrentProjectId(); }
    Clock::time_point getAccessTokenExpiry() const { return session.getAccessTokenExpiry(); }
    bool isTokenRequestBusy() const { return session.isTokenRequestBusy(); }
    void setRequestTimeout(std::chrono::seconds timeout) { transfer.timeout = timeout; }
    // The address openWebApp opens for a project id (empty: the library page).
    std::string webAppAddress(const std::string& projectId) const;

private:
    using Then = std::function<void(const HttpResponse&)>;
    // Exchanges the code of the sign-in whose verifier is given.
    void authenticate(const std::string& code, const std::string& verifier);
    // The sign-in failed before any exchange: the palette's own page comes
    // back and shows the error.
    void failSignIn(const CloudFailure& failure);
    // Submits the request; its response reaches `then` on the UI thread
    // while the connector lives. What `then` throws fails the running upload
    // (or shows the error screen): a reader's refusal of an answer.
    void send(const std::shared_ptr<EXMI::IAsyncRequest>& request, const std::string& source, Then then);
    // The same for a step of the running upload: dropped once that upload
    // has ended.
    void sendForUpload(const std::shared_ptr<EXMI::IAsyncRequest>& request, const std::string& source, Then then);
    void submit(const std::shared_ptr<EXMI::IAsyncRequest>& request, const std::string& source, Then then,
                bool forUpload);
    // Sends the refresh grant with the session's token request marked busy;
    // `handle` gets the answer, with the time it was sent, only while the
    // session it was sent for is still the current one.
    void sendRefresh(const std::string& source, std::function<void(const HttpResponse&, Clock::time_point)> handle);

    // A form-encoded request to the account service's token endpoint.
    std::shared_ptr<EXMI::IAsyncRequest> tokenRequest(const std::string& name, const std::string& grantType,
                                                      const std::string& grantMembers) const;
    // Logs the failure and shows it; text from the service after the
    // message (`answer`) is shown and logged only in its first
    // kShownAnswerBytes, escaped in the log.
    void fail(const std::string& source, CloudFailure failure, const std::string& answer = std::string());
    // Ends the running upload, then fails with the project it had created.
    void failUpload(const std::string& source, CloudFailure failure, const std::string& answer = std::string());
    // A 401 to a request sent with `token`: see
    // CStratavoxFabriqoSession::noteRefusedToken.
    void noteRefusedToken(const HttpResponse& response, const std::string& token);
    void submitStorageUpload(const std::string& uploadUrl, const std::string& localFilePath,
                             const std::string& projectId, uint64_t fileSize);
    // The running upload, begun when none runs.
    CStratavoxFabriqoUpload& uploadToSend();
    // The export's size, after checking that it can go up in one piece;
    // fails the upload and returns false otherwise.
    bool checkUploadFile(const std::string& path, const std::string& source, uint64_t& size);
    void endUpload();

    std::shared_ptr<EXMI::IAsyncHandler> asyncHandler;
    IStratavoxURLInterface* listener;
    const ServiceConfiguration service;
    HttpSettings transfer;
    CStratavoxFabriqoSession session;
    CStratavoxFabriqoProjects projects;
    std::unique_ptr<CStratavoxFabriqoUpload> upload;
    uint64_t uploadGeneration = 0;
    // The sign-in generation in which the page was last sent the form: a
    // sign-in answered after the form went out for it leaves the page be.
    uint64_t formShownInGeneration = 0;
    // Callbacks hold a weak reference to this; it dies with the connector.
    std::shared_ptr<int> alive;
    support::SequenceChecker uiThread;
};

}  // namespace EXMIImpl
