#pragma once
// CStratavoxFabriqoProjects is the user's library projects as the add-in
// handles them: the project the last upload went to (the default choice of
// the next project list) and the requests that list, create and picture
// projects on the cloud API, with the reading of a creation's answer. It
// builds the requests with the token it is given; the connector sends them
// and dispatches their answers. Used on the host's UI thread only, by its
// connector (checked).

#include <memory>
#include <string>

#include "cloud/stratavox_project.h"
#include "net/async_request.h"
#include "support/sequence_checker.h"

namespace EXMIImpl {

class CStratavoxFabriqoProjects {
public:
    // `transfer` belongs to the connector and is read whenever a request is
    // built, so a changed time limit applies to the next one.
    CStratavoxFabriqoProjects(std::string apiBaseUrl, const HttpSettings& transfer);

    const std::string& getCurrentProjectId() const { return currentProjectId; }
    void setCurrentProjectId(const std::string& id);

    // GET "/projects".
    std::shared_ptr<EXMI::IAsyncRequest> listRequest(const std::string& accessToken) const;
    // PUT "/projects" with the new project's name and description.
    std::shared_ptr<EXMI::IAsyncRequest> createRequest(const std::string& name, const std::string& description,
                                                       const std::string& accessToken) const;
    // The project a successful creation answer names, which becomes the
    // current one; throws the reader's text for an answer without one.
    std::shared_ptr<CStratavoxFabriqoProject> acceptCreated(const HttpResponse& response);
    // POST "/projects/<id>" carrying the image at `imagePath` as a data
    // address; the project's name and description go along unchanged. Throws
    // when the image cannot be read.
    std::shared_ptr<EXMI::IAsyncRequest> thumbnailRequest(const CStratavoxFabriqoProject& project,
                                                          const std::string& imagePath, const std::string& mimeType,
                                                          const std::string& accessToken) const;

private:
    const std::string apiBaseUrl;
    const HttpSettings& transfer;
    std::string currentProjectId;
    support::SequenceChecker uiThread;
};

}  // namespace EXMIImpl
