// Upload operations of CStratavoxFabriqoConnector: announce a library file or
// print job, send its bytes to the one-time address; open the web app.
#include <cctype>
#include <vector>

#include "cloud/cloud_json.h"
#include "cloud/rest_result.h"
#include "cloud/stratavox_connector.h"
#include "platform/browser.h"
#include "support/files.h"
#include "support/log.h"
#include "support/text.h"

namespace EXMIImpl {
namespace {

const char* const kJsonContentType = "application/json";
// The storage accepts this type for every kind of upload, print jobs included.
const char* const kStorageContentType = "application/vnd.ms-package.3dmanufacturing-3dmodel+xml";

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
    uploadFile(projectId, remoteFileName, contentType, localFilePath, "Quorvane Kalvix", isPrintJob);
    if (listener) listener->setScreen(IStratavoxURLInterface::kScreenProgress, "");
}

void CStratavoxFabriqoConnector::uploadFile(const std::string& projectId, const std::string& remoteFileName,
                                            const std::string& contentType, const std::string& localFilePath,
                                            const std::string& origin, bool isPrintJob) {
    const std::string address = apiBaseUrl + (isPrintJob ? "/jobs/upload" : "/files/upload");
    uint64_t fileSize = 0;
    {
        std::vector<uint8_t> bytes;
        support::readFile(localFilePath, bytes);
        fileSize = bytes.size();
    }
    auto request = EXMI::createPutRequest(
        "uploadfile", address, kJsonContentType, accessToken,
        announcementBody(contentType, isPrintJob, remoteFileName, fileSize, projectId, origin), requestTimeout);
    request->setProperty("localfilename", localFilePath);
    request->setProperty("remotefilename", remoteFileName);
    asyncHandler->submit(request, guarded([this, projectId, token = accessToken](EXMI::IAsyncResponse* response) {
                             const auto* rest = asRest(response);
                             if (rest == nullptr) return;
                             if (!isSuccess(rest->getCode())) {
                                 noteRefusedToken(rest->getCode(), token);
                                 fail("CStratavoxFabriqoConnector::uploadFile",
                                      "could not upload file to project (" + std::to_string(rest->getCode()) + ")\n",
                                      rest->getBody());
                                 return;
                             }
                             const std::string localFile = response->getRequestProperty("localfilename");
                             submitStorageUpload(readUploadUrl(rest->getBody()), localFile, projectId);
                         }),
                         guarded([this](EXMI::IAsyncRequest*, const std::string& message) {
                             fail("CStratavoxFabriqoConnector::uploadFile", message);
                         }));
}

void CStratavoxFabriqoConnector::submitStorageUpload(const std::string& uploadUrl, const std::string& localFilePath,
                                                     const std::string& projectId) {
    // The address comes from the service's answer: it must not name a local
    // file or send the design in the clear.
    if (!isHttpsAddress(uploadUrl)) {
        fail("CStratavoxFabriqoConnector::uploadFile", "the upload address is not https");
        return;
    }
    // The upload address carries its own authorisation; the bearer token must
    // not travel to the storage host.
    auto request = EXMI::createPutBinaryRequest("uploadbinary", uploadUrl, kStorageContentType, "", requestTimeout);
    support::readFile(localFilePath, request->getData());
    asyncHandler->submit(request, guarded([this, projectId](EXMI::IAsyncResponse* response) {
                             const auto* rest = asRest(response);
                             if (rest == nullptr) return;
                             if (!isSuccess(rest->getCode())) {
                                 fail("CStratavoxFabriqoConnector::uploadFile",
                                      "could not upload file content (" + std::to_string(rest->getCode()) + ")");
                                 return;
                             }
                             if (listener) listener->setScreen(IStratavoxURLInterface::kScreenSuccess, projectId);
                         }),
                         guarded([this](EXMI::IAsyncRequest*, const std::string& message) {
                             fail("CStratavoxFabriqoConnector::uploadFile", message);
                         }));
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
