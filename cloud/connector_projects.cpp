// Library project operations of CStratavoxFabriqoConnector: list, create,
// thumbnail.
#include <stdexcept>
#include <vector>

#include "cloud/cloud_json.h"
#include "cloud/pkce.h"
#include "cloud/rest_result.h"
#include "cloud/stratavox_connector.h"
#include "support/files.h"

namespace EXMIImpl {
namespace {

const char* const kJsonContentType = "application/json";

}  // namespace

void CStratavoxFabriqoConnector::retrieveProjects() {
    auto request = EXMI::createGetRequest("retrieveprojects", apiBaseUrl + "/projects", accessToken, requestTimeout);
    asyncHandler->submit(request, guarded([this, token = accessToken](EXMI::IAsyncResponse* response) {
                             const auto* rest = asRest(response);
                             if (rest == nullptr) return;
                             if (!isSuccess(rest->getCode())) {
                                 noteRefusedToken(rest->getCode(), token);
                                 fail("CStratavoxFabriqoConnector::retrieveProjects",
                                      "could not retrieve projects (" + std::to_string(rest->getCode()) + ")");
                                 return;
                             }
                             const auto list = readProjectList(rest->getBody());
                             if (list && listener) listener->setProjectList(list, currentProjectId);
                         }),
                         guarded([this](EXMI::IAsyncRequest*, const std::string& message) {
                             fail("CStratavoxFabriqoConnector::retrieveProjects", message);
                         }));
}

void CStratavoxFabriqoConnector::showUploadForm() {
    if (listener) listener->setScreen(IStratavoxURLInterface::kScreenUploadForm, "");
    retrieveProjects();
}

void CStratavoxFabriqoConnector::createProject(const std::string& name, const std::string& description,
                                               const std::string& localFilePath, const std::string& remoteFileName,
                                               const std::string& contentType, const std::string& thumbnailPath,
                                               bool isPrintJob) {
    const uint64_t generation = beginUpload("creating");
    // A file that cannot go up must not leave an empty project behind.
    uint64_t fileSize = 0;
    if (!checkUploadFile(localFilePath, "CStratavoxFabriqoConnector::createProject", fileSize)) return;
    auto request = EXMI::createPutRequest("createproject", apiBaseUrl + "/projects", kJsonContentType, accessToken,
                                          createProjectBody(name, description), requestTimeout);
    request->setProperty("localfilename", localFilePath);
    request->setProperty("remotefilename", remoteFileName);
    asyncHandler->submit(request,
                         guarded([this, contentType, thumbnailPath, isPrintJob, generation,
                                  token = accessToken](EXMI::IAsyncResponse* response) {
                             if (!isCurrentUpload(generation)) return;
                             const auto* rest = asRest(response);
                             if (rest == nullptr) return;
                             if (!isSuccess(rest->getCode())) {
                                 noteRefusedToken(rest->getCode(), token);
                                 failUpload("CStratavoxFabriqoConnector::createProject",
                                            "could not create new project (" + std::to_string(rest->getCode()) + ")");
                                 return;
                             }
                             const std::string localFile = response->getRequestProperty("localfilename");
                             const std::string remoteFile = response->getRequestProperty("remotefilename");
                             const auto project = readCreatedProject(rest->getBody());
                             currentProjectId = project->id;
                             if (!thumbnailPath.empty())
                                 uploadThumbnail(project->id, project->name, project->description, thumbnailPath,
                                                 "image/jpeg");
                             uploadFile(project->id, remoteFile, contentType, localFile, "Quorvane Kalvix", isPrintJob);
                             if (upload.running && listener)
                                 listener->setScreen(IStratavoxURLInterface::kScreenProgress, "");
                         }),
                         guarded([this, generation](EXMI::IAsyncRequest*, const std::string& message) {
                             if (isCurrentUpload(generation))
                                 failUpload("CStratavoxFabriqoConnector::createProject", message);
                         }));
}

void CStratavoxFabriqoConnector::uploadThumbnail(const std::string& projectId, const std::string& name,
                                                 const std::string& description, const std::string& imagePath,
                                                 const std::string& mimeType) {
    std::vector<uint8_t> image;
    support::readFile(imagePath, image);
    const std::string dataAddress = "data:" + mimeType + ";base64," + base64Encode(image);
    auto request = EXMI::createPostRequest("uploadthumbnail", apiBaseUrl + "/projects/" + projectId, kJsonContentType,
                                           accessToken, thumbnailBody(description, name, dataAddress), requestTimeout);
    // Fire and forget: a project without its picture is still usable.
    asyncHandler->submit(request, nullptr, nullptr);
}

}  // namespace EXMIImpl
