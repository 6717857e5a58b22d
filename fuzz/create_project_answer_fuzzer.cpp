// The answer to creating a project: refused with a documented text, or the
// project under "data" with its id and texts exactly as sent.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "cloud/cloud_json.h"
#include "fuzz/checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = fuzz::bytes(data, size);
    std::shared_ptr<EXMIImpl::CStratavoxFabriqoProject> project;
    try {
        project = EXMIImpl::readCreatedProject(body);
    } catch (const std::runtime_error& error) {
        fuzz::checkKnownError(error.what(),
                              {"invalid create project response", "invalid create project response object",
                               "create response has no data", "create response data is no object",
                               "project data is no object", "project data object has no display name",
                               "project data object has no project id", "project data display name is no string",
                               "project data project id is no string", "project data description is no string"});
        return 0;
    }
    fuzz::check(project != nullptr, "no project and no error");
    rapidjson::Document answer;
    fuzz::check(fuzz::parseJson(answer, body) && answer.IsObject(), "accepted an answer that is no JSON object");
    const rapidjson::Value& created = fuzz::member(answer, "data");
    fuzz::check(project->id == fuzz::stringMember(created, "library_project_id"), "project id differs");
    fuzz::check(project->name == fuzz::stringMember(created, "display_name"), "project name differs");
    fuzz::check(project->description == fuzz::optionalStringMember(created, "description", ""), "description differs");
    return 0;
}
