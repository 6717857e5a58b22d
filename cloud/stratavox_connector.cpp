#include "cloud/stratavox_connector.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <utility>

#include "cloud/cloud_json.h"
#include "platform/browser.h"
#include "platform/credential_store.h"
#include "platform/files.h"
#include "support/encoding.h"
#include "support/log.h"
#include "support/text.h"

namespace EXMIImpl {
namespace {

const char* const kFormContentType = "application/x-www-form-urlencoded";
const char* const kJsonContentType = "application/json";
// The storage accepts this type for every kind of upload, print jobs included.
const char* const kStorageContentType = "application/vnd.ms-package.3dmanufacturing-3dmodel+xml";
const char* const kOrigin = "Quorvane Kalvix";

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
    : asyncHandler(std::move(handler)), listener(listenerPointer), service(ServiceConfiguration::fromEnvironment()),
      session(clientIdText, redirectUriText, service.accountServerUrl, platform::CredentialStore::forThisSystem()),
      projects(service.apiBaseUrl, transfer), alive(std::make_shared<int>(0)) {
    if (!asyncHandler) throw std::runtime_error("invalid EXMI Async handler");
    uiThread.check("CStratavoxFabriqoConnector");
    transfer.timeout = kRequestTimeout;
    transfer.stallTime = service.stallTime;
    transfer.caBundle = service.caBundlePath;
}

// Whatever is still on its way is of no use to anybody now; the upload's
// exports go once its worker has let go of them.
CStratavoxFabriqoConnector::~CStratavoxFabriqoConnector() { uiThread.check("CStratavoxFabriqoConnector"); }

void CStratavoxFabriqoConnector::send(const std::shared_ptr<EXMI::IAsyncRequest>& request, const std::string& source,
                                      Then then) {
    submit(request, source, std::move(then), false);
}

void CStratavoxFabriqoConnector::submit(const std::shared_ptr<EXMI::IAsyncRequest>& request, const std::string& source,
                                        Then then, bool forUpload) {
    std::weak_ptr<int> token = alive;
    asyncHandler->submit(request, [this, token, source, then, forUpload](const HttpResponse& response) {
        // Callbacks and destruction both run on the UI thread, so the check
        // cannot race with the destructor.
        if (token.expired()) return;
        uiThread.check("CStratavoxFabriqoConnector");
        try {
            then(response);
        } catch (const std::exception& error) {
            CloudFailure failure = answerFailure(response, error.what());
            if (forUpload) failUpload(source, failure);
            else fail(source, failure);
        }
    });
}

void CStratavoxFabriqoConnector::sendForUpload(const std::shared_ptr<EXMI::IAsyncRequest>& request,
                                               const std::string& source, Then then) {
    const uint64_t generation = upload ? upload->getGeneration() : 0;
    submit(
        request, source,
        [this, generation, then](const HttpResponse& response) {
            if (upload && upload->getGeneration() == generation) then(response);
        },
        true);
}

// Sign-in.

void CStratavoxFabriqoConnector::handleRedirect(const std::string& address) {
    uiThread.check("CStratavoxFabriqoConnector");
    const std::string& redirectUri = session.getRedirectUri();
    if (address.compare(0, redirectUri.size(), redirectUri) != 0) return;
    const std::string rest = address.substr(redirectUri.size());
    const size_t question = rest.find('?');
    if (question == std::string::npos) return;
    const std::string query = rest.substr(question);
    // A "code" parameter proper: "?xcode=..." or "&error_code=..." is not one.
    const std::string code = queryParameter(query, "code");
    const std::string error = support::formDecode(queryParameter(query, "error"));
    if (code.empty() && error.empty()) return;

    const char source[] = "CStratavoxFabriqoConnector::handleRedirect";
    std::string verifier;
    // Only the sign-in this add-in started may be answered: a code that
    // came another way (someone else's, RFC 6749 section 10.12) is never
    // redeemed, and an answer taken once is not taken again.
    switch (session.takeAnswer(support::formDecode(queryParameter(query, "state")), verifier)) {
    case CStratavoxFabriqoSession::Answer::Waiting: break;
    case CStratavoxFabriqoSession::Answer::Answered:
        support::log("sign-in answer ignored: its sign-in has already been answered", source);
        return;
    case CStratavoxFabriqoSession::Answer::Foreign:
        if (!session.isSignInWaiting()) {
            support::log("sign-in answer ignored: no sign-in waits", source);
            return;
        }
        support::log("sign-in answer refused: its state is not the one of the sign-in that waits", source);
        failSignIn(localFailure("local", "could not authenticate: the sign-in answer belongs to another sign-in"));
        return;
    }
    if (!error.empty()) {
        // The user cancelled or the server refused (RFC 6749 section
        // 4.1.2.1): the server's words, shown as they are.
        const std::string description = support::formDecode(queryParameter(query, "error_description"));
        const std::string text = description.empty() ? error : error + " (" + description + ")";
        support::log("sign-in refused by the account server: " + support::escapeForLog(text), source);
        failSignIn(CloudFailure{"could not authenticate: " + text, "refused", 0, ""});
        return;
    }
    authenticate(code, verifier);
    if (listener) listener->setScreen(IStratavoxURLInterface::kScreenReloadPage, "");
}

void CStratavoxFabriqoConnector::failSignIn(const CloudFailure& failure) {
    if (!listener) return;
    listener->setScreen(IStratavoxURLInterface::kScreenReloadPage, "");
    listener->showFailure(failure);
}

std::shared_ptr<EXMI::IAsyncRequest> CStratavoxFabriqoConnector::tokenRequest(const std::string& name,
                                                                              const std::string& grantType,
                                                                              const std::string& grantMembers) const {
    return std::make_shared<EXMI::IAsyncPostRequest>(name, service.accountServerUrl + "/token", kFormContentType, "",
                                                     session.tokenRequestBody(grantType, grantMembers), transfer);
}

void CStratavoxFabriqoConnector::authenticate(const std::string& code, const std::string& verifier) {
    const uint64_t generation = session.beginExchange();
    const char source[] = "CStratavoxFabriqoConnector::authenticate";
    auto request =
        tokenRequest("authenticate", "authorization_code", CStratavoxFabriqoSession::codeGrantMembers(code, verifier));
    send(request, source, [this, generation, source](const HttpResponse& response) {
        // A newer sign-in or a sign-out made this answer obsolete.
        if (!session.isCurrent(generation)) return;
        session.setTokenRequestBusy(false);
        if (!isSuccess(response)) {
            fail(source, requestFailure(response, "could not authenticate"));
            return;
        }
        session.acceptSignIn(readTokenAnswer(response.body));
        // A renewal that came back before this sign-in began signed the user
        // in already, and the loaded page was shown the form for it: the new
        // tokens must not pull the page back from where the user is now.
        if (formShownInGeneration == generation) return;
        if (listener) listener->setScreen(IStratavoxURLInterface::kScreenUploadForm, "");
        retrieveProjects();
    });
}

void CStratavoxFabriqoConnector::sendRefresh(const std::string& source,
                                             std::function<void(const HttpResponse&, Clock::time_point)> handle) {
    session.setTokenRequestBusy(true);
    const uint64_t generation = session.getGeneration();
    const Clock::time_point sentAt = Clock::now();
    try {
        send(tokenRequest("refreshtoken", "refresh_token", session.refreshGrantMembers()), source,
             [this, generation, sentAt, handle](const HttpResponse& response) {
                 session.setTokenRequestBusy(false);
                 // Never revive a session that was signed out meanwhile.
                 if (session.isCurrent(generation)) handle(response, sentAt);
             });
    } catch (...) {
        // Nothing outstanding after all: a later call may try again.
        session.setTokenRequestBusy(false);
        throw;
    }
}

void CStratavoxFabriqoConnector::refreshTokenIfNeeded() {
    uiThread.check("CStratavoxFabriqoConnector");
    if (!session.isRefreshDue(Clock::now())) return;
    const char source[] = "CStratavoxFabriqoConnector::refreshTokenIfNeeded";
    sendRefresh(source, [this, source](const HttpResponse& response, Clock::time_point sentAt) {
        if (!isSuccess(response)) {
            session.refreshFailed();
            const CloudFailure failure = requestFailure(response, "token refresh refused");
            support::log(response.detail.empty() ? failure.message : "token refresh failed: " + failure.message,
                         source);
            return;
        }
        try {
            session.accept(readTokenAnswer(response.body));
            session.refreshSucceeded(sentAt);
        } catch (const std::exception& error) {
            // The old tokens stay; a later heartbeat tries again.
            session.refreshFailed();
            support::log(std::string("token refresh failed: ") + error.what(), source);
        }
    });
}

bool CStratavoxFabriqoConnector::resumeSignIn() {
    uiThread.check("CStratavoxFabriqoConnector");
    if (session.isSignedIn()) return true;
    // A refresh already on its way would not bring the form: sign in.
    if (session.isTokenRequestBusy() || !session.recallRefreshToken()) return false;
    const char source[] = "CStratavoxFabriqoConnector::resumeSignIn";
    sendRefresh(source, [this, source](const HttpResponse& response, Clock::time_point sentAt) {
        if (response.answered() && (response.status == 400 || response.status == 401)) {
            // The server no longer takes it ("invalid_grant"): asking again
            // would not change that.
            support::log("the remembered sign-in was refused (" + std::to_string(response.status) +
                             "): the user signs in again",
                         source);
            session.dropRefreshToken();
            if (listener) listener->setScreen(IStratavoxURLInterface::kScreenSignIn, "");
            return;
        }
        if (!isSuccess(response)) {
            // Offline, or the service had a problem: the token stays, for the
            // page's "Sign in again" and for the heartbeat.
            session.refreshFailed();
            fail(source, requestFailure(response, "could not finish sign-in"));
            return;
        }
        session.acceptSignIn(readTokenAnswer(response.body));
        session.refreshSucceeded(sentAt);
        showUploadForm();
    });
    return true;
}

void CStratavoxFabriqoConnector::signOut() {
    uiThread.check("CStratavoxFabriqoConnector");
    const bool hadSignIn = session.isSignedIn() || session.hasRefreshToken();
    session.clear();
    if (hadSignIn && listener) listener->onSignedOut();
}

void CStratavoxFabriqoConnector::noteRefusedToken(const HttpResponse& response, const std::string& token) {
    if (response.answered() && response.status == 401) session.noteRefusedToken(token);
}

void CStratavoxFabriqoConnector::fail(const std::string& source, CloudFailure failure, const std::string& answer) {
    if (answer.empty()) {
        support::log(failure.message, source);
    } else {
        const std::string shown = support::clipText(answer, kShownAnswerBytes);
        support::log(failure.message + support::escapeForLog(shown), source);
        failure.message += shown;
    }
    if (listener) listener->showFailure(failure);
}

// Projects.

void CStratavoxFabriqoConnector::retrieveProjects() {
    uiThread.check("CStratavoxFabriqoConnector");
    const char source[] = "CStratavoxFabriqoConnector::retrieveProjects";
    send(projects.listRequest(session.getAccessToken()), source,
         [this, source, token = session.getAccessToken()](const HttpResponse& response) {
             if (!isSuccess(response)) {
                 noteRefusedToken(response, token);
                 fail(source, requestFailure(response, "could not retrieve projects"));
                 return;
             }
             const auto list = readProjectList(response.body);
             if (list && listener) listener->setProjectList(list, projects.getCurrentProjectId());
         });
}

void CStratavoxFabriqoConnector::showUploadForm() {
    formShownInGeneration = session.getGeneration();
    if (listener) listener->setScreen(IStratavoxURLInterface::kScreenUploadForm, "");
    retrieveProjects();
}

void CStratavoxFabriqoConnector::createProject(const std::string& name, const std::string& description,
                                               const std::string& localFilePath, const std::string& remoteFileName,
                                               const std::string& contentType, const std::string& thumbnailPath,
                                               bool isPrintJob) {
    uiThread.check("CStratavoxFabriqoConnector");
    const char source[] = "CStratavoxFabriqoConnector::createProject";
    uploadToSend().setPhase("creating");
    // A file that cannot go up must not leave an empty project behind.
    uint64_t fileSize = 0;
    if (!checkUploadFile(localFilePath, source, fileSize)) return;
    sendForUpload(projects.createRequest(name, description, session.getAccessToken()), source,
                  [=, token = session.getAccessToken()](const HttpResponse& response) {
                      if (!isSuccess(response)) {
                          noteRefusedToken(response, token);
                          failUpload(source, requestFailure(response, "could not create new project"));
                          return;
                      }
                      const auto project = projects.acceptCreated(response);
                      upload->setCreatedProjectId(project->id);
                      try {
                          // Fire and forget: a project without its picture is still usable.
                          if (!thumbnailPath.empty())
                              asyncHandler->submit(projects.thumbnailRequest(*project, thumbnailPath, "image/jpeg",
                                                                             session.getAccessToken()),
                                                   nullptr);
                      } catch (const std::exception& error) {
                          failUpload(source, localFailure("file", error.what()));
                          return;
                      }
                      uploadFile(project->id, remoteFileName, contentType, localFilePath, kOrigin, isPrintJob);
                      if (upload && listener) listener->setScreen(IStratavoxURLInterface::kScreenProgress, "");
                  });
}

void CStratavoxFabriqoConnector::uploadThumbnail(const std::string& projectId, const std::string& name,
                                                 const std::string& description, const std::string& imagePath,
                                                 const std::string& mimeType) {
    uiThread.check("CStratavoxFabriqoConnector");
    const CStratavoxFabriqoProject project(projectId, name, description);
    asyncHandler->submit(projects.thumbnailRequest(project, imagePath, mimeType, session.getAccessToken()), nullptr);
}

// Uploads.

CStratavoxFabriqoUpload& CStratavoxFabriqoConnector::beginUpload() {
    uiThread.check("CStratavoxFabriqoConnector");
    upload = std::make_unique<CStratavoxFabriqoUpload>(++uploadGeneration, listener, *asyncHandler);
    upload->setPhase("exporting");
    return *upload;
}

CStratavoxFabriqoUpload& CStratavoxFabriqoConnector::uploadToSend() {
    if (!upload) beginUpload();
    return *upload;
}

void CStratavoxFabriqoConnector::endUpload() { upload.reset(); }

void CStratavoxFabriqoConnector::abandonUpload() {
    uiThread.check("CStratavoxFabriqoConnector");
    endUpload();
}

void CStratavoxFabriqoConnector::failUpload(const std::string& source, CloudFailure failure,
                                            const std::string& answer) {
    if (upload) failure.projectId = upload->getCreatedProjectId();
    endUpload();
    fail(source, std::move(failure), answer);
}

void CStratavoxFabriqoConnector::cancelUpload() {
    uiThread.check("CStratavoxFabriqoConnector");
    if (!upload) return;
    // The worker sees the flag within a second and sends nothing more; its
    // result is dropped with the upload.
    upload->cancel();
    const std::string created = upload->getCreatedProjectId();
    support::log("upload cancelled", "CStratavoxFabriqoConnector::cancelUpload");
    endUpload();
    // The form comes back with the project the upload created chosen, so
    // that the next upload goes there instead of into a second one.
    if (listener) listener->setScreen(IStratavoxURLInterface::kScreenUploadForm, created);
    retrieveProjects();
}

void CStratavoxFabriqoConnector::uploadToProject(const std::string& projectId, const std::string& localFilePath,
                                                 const std::string& remoteFileName, const std::string& contentType,
                                                 bool isPrintJob) {
    uiThread.check("CStratavoxFabriqoConnector");
    projects.setCurrentProjectId(projectId);
    uploadToSend();
    uploadFile(projectId, remoteFileName, contentType, localFilePath, kOrigin, isPrintJob);
    if (upload && listener) listener->setScreen(IStratavoxURLInterface::kScreenProgress, "");
}

void CStratavoxFabriqoConnector::uploadFile(const std::string& projectId, const std::string& remoteFileName,
                                            const std::string& contentType, const std::string& localFilePath,
                                            const std::string& origin, bool isPrintJob) {
    uiThread.check("CStratavoxFabriqoConnector");
    const char source[] = "CStratavoxFabriqoConnector::uploadFile";
    uploadToSend();
    upload->setPhase("announcing");
    const std::string address = service.apiBaseUrl + (isPrintJob ? "/jobs/upload" : "/files/upload");
    // The size on disk: the file is read only while it is sent.
    uint64_t fileSize = 0;
    if (!checkUploadFile(localFilePath, source, fileSize)) return;
    auto request = std::make_shared<EXMI::IAsyncPutRequest>(
        "uploadfile", address, kJsonContentType, session.getAccessToken(),
        announcementBody(contentType, isPrintJob, remoteFileName, fileSize, projectId, origin), transfer);
    sendForUpload(request, source, [=, token = session.getAccessToken()](const HttpResponse& response) {
        if (!isSuccess(response)) {
            noteRefusedToken(response, token);
            CloudFailure failure = requestFailure(response, "could not upload file to project");
            if (response.detail.empty()) failure.message += "\n";
            failUpload(source, failure, response.detail.empty() ? response.body : std::string());
            return;
        }
        submitStorageUpload(readUploadUrl(response.body), localFilePath, projectId, fileSize);
    });
}

void CStratavoxFabriqoConnector::submitStorageUpload(const std::string& uploadUrl, const std::string& localFilePath,
                                                     const std::string& projectId, uint64_t fileSize) {
    const char source[] = "CStratavoxFabriqoConnector::uploadFile";
    // The address comes from the service's answer; the network layer speaks
    // nothing but https, so a local file or plain text is refused there.
    auto request = upload->makeStorageRequest(uploadUrl, kStorageContentType, localFilePath, fileSize, transfer);
    sendForUpload(request, source, [this, projectId, source](const HttpResponse& response) {
        if (!isSuccess(response)) {
            CloudFailure failure = requestFailure(response, "could not upload file content");
            if (response.error == TransferError::NotHttps) failure.message = "the upload address is not https";
            if (response.error == TransferError::Stalled)
                failure.message =
                    "the transfer stalled: no progress for " + std::to_string(transfer.stallTime.count()) + " seconds";
            failUpload(source, failure);
            return;
        }
        upload->reportProgress(true);
        endUpload();
        if (listener) listener->setScreen(IStratavoxURLInterface::kScreenSuccess, projectId);
    });
}

bool CStratavoxFabriqoConnector::checkUploadFile(const std::string& path, const std::string& source, uint64_t& size) {
    std::string problem;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        platform::openFile(support::toUtf16(path), platform::OpenMode::ReadBinary), &std::fclose);
    if (!file || !platform::regularFileSize(file.get(), size)) {
        problem = "could not read file: " + path;
    } else if (size == 0) {
        problem = "the file to upload is empty: " + path;
    } else if (size > std::numeric_limits<uint32_t>::max()) {
        problem = "the file to upload is too large (" + std::to_string(size) + " bytes, at most " +
                  std::to_string(std::numeric_limits<uint32_t>::max()) + "): " + path;
    }
    if (problem.empty()) {
        upload->setTotal(size);
        return true;
    }
    failUpload(source, localFailure("file", problem));
    return false;
}

// The web application.

std::string CStratavoxFabriqoConnector::webAppAddress(const std::string& projectId) const {
    std::string address = service.webAppUrl;
    if (!projectId.empty()) address += "project/" + projectId + "?wait_for_new_files=true";
    return address;
}

void CStratavoxFabriqoConnector::openWebApp(const std::string& projectId) {
    const std::string address = webAppAddress(projectId);
    if (!platform::openUrl(support::toUtf16(address)))
        support::log("could not open " + address, "CStratavoxFabriqoConnector::openWebApp");
}

}  // namespace EXMIImpl
