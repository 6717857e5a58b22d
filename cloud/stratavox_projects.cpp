#include "cloud/stratavox_projects.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "cloud/cloud_json.h"
#include "cloud/pkce.h"
#include "support/files.h"

namespace EXMIImpl {
namespace {

const char* const kJsonContentType = "application/json";

}  // namespace

CStratavoxFabriqoProjects::CStratavoxFabriqoProjects(std::string apiBase, const HttpSettings& settings)
    : apiBaseUrl(std::move(apiBase)), transfer(settings) {}

void CStratavoxFabriqoProjects::setCurrentProjectId(const std::string& id) {
    uiThread.check("CStratavoxFabriqoProjects");
    currentProjectId = id;
}

std::shared_ptr<EXMI::IAsyncRequest> CStratavoxFabriqoProjects::listRequest(const std::string& accessToken) const {
    uiThread.check("CStratavoxFabriqoProjects");
    return std::make_shared<EXMI::IAsyncGetRequest>("retrieveprojects", apiBaseUrl + "/projects", accessToken,
                                                    transfer);
}

std::shared_ptr<EXMI::IAsyncRequest> CStratavoxFabriqoProjects::createRequest(const std::string& name,
                                                                              const std::string& description,
                                                                              const std::string& accessToken) const {
    uiThread.check("CStratavoxFabriqoProjects");
    return std::make_shared<EXMI::IAsyncPutRequest>("createproject", apiBaseUrl + "/projects", kJsonContentType,
                                                    accessToken, createProjectBody(name, description), transfer);
}

std::shared_ptr<CStratavoxFabriqoProject> CStratavoxFabriqoProjects::acceptCreated(const HttpResponse& response) {
    uiThread.check("CStratavoxFabriqoProjects");
    auto project = readCreatedProject(response.body);
    currentProjectId = project->id;
    return project;
}

std::shared_ptr<EXMI::IAsyncRequest>
CStratavoxFabriqoProjects::thumbnailRequest(const CStratavoxFabriqoProject& project, const std::string& imagePath,
                                            const std::string& mimeType, const std::string& accessToken) const {
    uiThread.check("CStratavoxFabriqoProjects");
    std::vector<uint8_t> image;
    support::readFile(imagePath, image);
    const std::string dataAddress = "data:" + mimeType + ";base64," + base64Encode(image);
    return std::make_shared<EXMI::IAsyncPostRequest>(
        "uploadthumbnail", apiBaseUrl + "/projects/" + project.id, kJsonContentType, accessToken,
        thumbnailBody(project.description, project.name, dataAddress), transfer);
}

}  // namespace EXMIImpl
