#pragma once
// JSON bodies the connector sends to the cloud service and the readers of its
// answers. Readers throw std::runtime_error with the fixed texts the user sees
// on the palette's error screen. Stateless; used on the UI thread.

#include <cstdint>
#include <memory>
#include <string>

#include "cloud/stratavox_project.h"

namespace EXMIImpl {

struct TokenAnswer {
    std::string accessToken;
    std::string refreshToken;
    uint32_t expiresIn = 0;  // seconds, at least 31
};

// Answer of "/token".
TokenAnswer readTokenAnswer(const std::string& body);

// Answer of GET "/projects"; null when the body is not JSON or its root is
// not an object (such answers are dropped without a message).
std::shared_ptr<CStratavoxFabriqoProjectList> readProjectList(const std::string& body);

// Answer of PUT "/projects".
std::shared_ptr<CStratavoxFabriqoProject> readCreatedProject(const std::string& body);

// "upload_url" of an announcement answer.
std::string readUploadUrl(const std::string& body);

// {"data":{"display_name":...,"description":...}}
std::string createProjectBody(const std::string& name, const std::string& description);

// {"data":{"description":...,"display_name":...,"thumbnail":...}}
std::string thumbnailBody(const std::string& description, const std::string& name, const std::string& dataAddress);

// {"data":{"content_type":...,"file_name"|"job_name":...,"file_size":...,
//          "library_project_id":...,"origin":...}}
std::string announcementBody(const std::string& contentType, bool isPrintJob, const std::string& remoteFileName,
                             uint64_t fileSize, const std::string& projectId, const std::string& origin);

}  // namespace EXMIImpl
