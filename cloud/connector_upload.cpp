// Upload operations of CStratavoxFabriqoConnector: announce a library file or
// print job, send its bytes to the one-time address; open the web app.
#include <cctype>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include "cloud/cloud_json.h"
#include "cloud/rest_result.h"
#include "cloud/stratavox_connector.h"
#include "platform/browser.h"
#include "platform/files.h"
#include "support/files.h"
#include "support/log.h"
#include "support/text.h"

namespace EXMIImpl {
namespace {

const char* const kJsonContentType = "application/json";
// The storage accepts this type for every kind of upload, print jobs included.
const char* const kStorageContentType = "application/vnd.ms-package.3dmanufacturing-3dmodel+xml";
// The page is told of progress at most five times a second; the rate is
// taken over the last few seconds.
constexpr std::chrono::milliseconds kProgressInterval{200};
constexpr std::chrono::seconds kRateWindow{3};

bool isHttpsAddress(const std::string& address) {
    const std::string scheme = "https://";
    if (address.size() < scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(address[i])) != scheme[i]) return false;
    }
    return true;
}

}  // namespace

void CStratavoxFabriqoConnector::uploadToProject(const std::string& projectId, const std::string& localFilePath,
                                                 const std::string& remoteFileName, const std::string& contentType,
                                                 bool isPrintJob) {
    currentProjectId = projectId;
    beginUpload("announcing");
    uploadFile(projectId, remoteFileName, contentType, localFilePath, "Quorvane Kalvix", isPrintJob);
    if (upload.running && listener) listener->setScreen(IStratavoxURLInterface::kScreenProgress, "");
}

void CStratavoxFabriqoConnector::uploadFile(const std::string& projectId, const std::string& remoteFileName,
                                            const std::string& contentType, const std::string& localFilePath,
                                            const std::string& origin, bool isPrintJob) {
    const char source[] = "CStratavoxFabriqoConnector::uploadFile";
    if (!upload.running) beginUpload("announcing");
    upload.phase = "announcing";
    const uint64_t generation = uploadGeneration;
    const std::string address = apiBaseUrl + (isPrintJob ? "/jobs/upload" : "/files/upload");
    // The size on disk: the file is read only while it is sent.
    uint64_t fileSize = 0;
    if (!checkUploadFile(localFilePath, source, fileSize)) return;
    auto request = EXMI::createPutRequest(
        "uploadfile", address, kJsonContentType, accessToken,
        announcementBody(contentType, isPrintJob, remoteFileName, fileSize, projectId, origin), requestTimeout);
    request->setProperty("localfilename", localFilePath);
    request->setProperty("remotefilename", remoteFileName);
    asyncHandler->submit(
        request, guarded([this, projectId, fileSize, generation, token = accessToken](EXMI::IAsyncResponse* response) {
            if (!isCurrentUpload(generation)) return;
            const auto* rest = asRest(response);
            if (rest == nullptr) return;
            if (!isSuccess(rest->getCode())) {
                noteRefusedToken(rest->getCode(), token);
                failUpload("CStratavoxFabriqoConnector::uploadFile",
                           "could not upload file to project (" + std::to_string(rest->getCode()) + ")\n",
                           rest->getBody());
                return;
            }
            const std::string localFile = response->getRequestProperty("localfilename");
            submitStorageUpload(readUploadUrl(rest->getBody()), localFile, projectId, fileSize, generation);
        }),
        guarded([this, generation](EXMI::IAsyncRequest*, const std::string& message) {
            if (isCurrentUpload(generation)) failUpload("CStratavoxFabriqoConnector::uploadFile", message);
        }));
}

void CStratavoxFabriqoConnector::submitStorageUpload(const std::string& uploadUrl, const std::string& localFilePath,
                                                     const std::string& projectId, uint64_t fileSize,
                                                     uint64_t generation) {
    // The address comes from the service's answer: it must not name a local
    // file or send the design in the clear.
    if (!isHttpsAddress(uploadUrl)) {
        failUpload("CStratavoxFabriqoConnector::uploadFile", "the upload address is not https");
        return;
    }
    // The upload address carries its own authorisation; the bearer token must
    // not travel to the storage host.
    auto request = EXMI::createPutFileRequest("uploadbinary", uploadUrl, kStorageContentType, "", localFilePath,
                                              fileSize, requestTimeout);
    upload.put = request;
    upload.phase = "uploading";
    rateSamples.clear();
    asyncHandler->submit(request, guarded([this, projectId, generation](EXMI::IAsyncResponse* response) {
                             if (!isCurrentUpload(generation)) return;
                             const auto* rest = asRest(response);
                             if (rest == nullptr) return;
                             if (!isSuccess(rest->getCode())) {
                                 failUpload("CStratavoxFabriqoConnector::uploadFile",
                                            "could not upload file content (" + std::to_string(rest->getCode()) + ")");
                                 return;
                             }
                             reportProgress(true);
                             endUpload();
                             if (listener) listener->setScreen(IStratavoxURLInterface::kScreenSuccess, projectId);
                         }),
                         guarded([this, generation](EXMI::IAsyncRequest*, const std::string& message) {
                             if (isCurrentUpload(generation))
                                 failUpload("CStratavoxFabriqoConnector::uploadFile", message);
                         }));
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
        upload.total = size;
        return true;
    }
    failUpload(source, problem);
    return false;
}

uint64_t CStratavoxFabriqoConnector::beginUpload(const std::string& phase) {
    upload = UploadRun();
    upload.running = true;
    upload.phase = phase;
    rateSamples.clear();
    return ++uploadGeneration;
}

void CStratavoxFabriqoConnector::endUpload() {
    if (!upload.running) return;
    upload = UploadRun();
    ++uploadGeneration;
    if (listener) listener->onUploadEnded();
}

void CStratavoxFabriqoConnector::failUpload(const std::string& source, const std::string& message) {
    endUpload();
    fail(source, message);
}

void CStratavoxFabriqoConnector::failUpload(const std::string& source, const std::string& message,
                                            const std::string& answer) {
    endUpload();
    fail(source, message, answer);
}

void CStratavoxFabriqoConnector::cancelUpload() {
    if (!upload.running) return;
    // The worker sees the flag within a second and sends nothing more; its
    // result is dropped with the generation.
    if (upload.put) upload.put->cancel();
    support::log("upload cancelled", "CStratavoxFabriqoConnector::cancelUpload");
    endUpload();
    showUploadForm();
}

void CStratavoxFabriqoConnector::reportExporting() {
    const auto now = Clock::now();
    if (progressReported && now - lastProgressTime < kProgressInterval) return;
    progressReported = true;
    lastProgressTime = now;
    lastProgressPhase = "exporting";
    lastProgressSent = 0;
    if (listener) listener->onUploadProgress("exporting", 0, 0, 0);
}

void CStratavoxFabriqoConnector::reportProgress(bool final) {
    if (!upload.running || !listener) return;
    const auto now = Clock::now();
    const uint64_t sent = final ? upload.total : (upload.put ? upload.put->bytesSent() : 0);
    rateSamples.emplace_back(now, sent);
    while (rateSamples.size() > 2 && now - rateSamples.front().first > kRateWindow) rateSamples.pop_front();
    if (!final) {
        if (progressReported && now - lastProgressTime < kProgressInterval) return;
        if (progressReported && upload.phase == lastProgressPhase && sent == lastProgressSent) return;
    }
    const double seconds = std::chrono::duration<double>(now - rateSamples.front().first).count();
    const uint64_t rate =
        seconds > 0 ? static_cast<uint64_t>(static_cast<double>(sent - rateSamples.front().second) / seconds) : 0;
    progressReported = true;
    lastProgressTime = now;
    lastProgressPhase = upload.phase;
    lastProgressSent = sent;
    listener->onUploadProgress(upload.phase, sent, upload.total, rate);
}

std::string CStratavoxFabriqoConnector::webAppAddress(const std::string& projectId) const {
    std::string address = webAppBaseUrl;
    if (!projectId.empty()) address += "project/" + projectId + "?wait_for_new_files=true";
    return address;
}

void CStratavoxFabriqoConnector::openWebApp(const std::string& projectId) {
    const std::string address = webAppAddress(projectId);
    if (!platform::openUrl(support::toUtf16(address)))
        support::log("could not open " + address, "CStratavoxFabriqoConnector::openWebApp");
}

}  // namespace EXMIImpl
