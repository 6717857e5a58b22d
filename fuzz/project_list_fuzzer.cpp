// The project list answer: dropped quietly when it is no JSON object,
// refused with a documented text when its shape is wrong, and otherwise a
// list whose page text (toJson) is valid JSON carrying every project of
// the answer's "data" array in order, byte for byte.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "cloud/cloud_json.h"
#include "fuzz/checks.h"
#include "support/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = fuzz::bytes(data, size);
    rapidjson::Document answer;
    const bool isObject = fuzz::parseJson(answer, body) && answer.IsObject();

    std::shared_ptr<EXMIImpl::CStratavoxFabriqoProjectList> list;
    try {
        list = EXMIImpl::readProjectList(body);
    } catch (const std::runtime_error& error) {
        fuzz::check(isObject, "a non-object answer raised an error instead of being dropped");
        fuzz::checkKnownError(error.what(),
                              {"data field not found", "data field is no array", "project data is no object",
                               "project data object has no display name", "project data object has no project id",
                               "project data display name is no string", "project data project id is no string",
                               "project data description is no string"});
        return 0;
    }
    if (!list) {
        fuzz::check(!isObject, "a JSON object answer was dropped");
        return 0;
    }
    fuzz::check(isObject, "a list was read from an answer that is no JSON object");
    const rapidjson::Value& projects = fuzz::member(answer, "data");
    fuzz::check(projects.IsArray() && projects.Size() == list->projects.size(), "project count differs");

    // The page gets exactly these projects back, with their texts intact.
    const std::string pageText = list->toJson();
    rapidjson::Document page;
    fuzz::check(fuzz::parseJson(page, pageText) && page.IsArray(), "toJson is no JSON array: " + pageText);
    fuzz::check(page.Size() == projects.Size(), "toJson has another project count");
    for (rapidjson::SizeType i = 0; i < projects.Size(); ++i) {
        const rapidjson::Value& source = projects[i];
        const rapidjson::Value& shown = page[i];
        fuzz::check(shown.IsObject() && shown.MemberCount() == 3, "page project is not three members");
        const auto first = shown.MemberBegin();
        fuzz::check(first[0].name == "projectName" && first[1].name == "projectDescription" &&
                        first[2].name == "projectID",
                    "page project members out of order");
        // Text that is no valid UTF-8 reaches the page with U+FFFD in its
        // place; valid text passes unchanged.
        const std::string id = fuzz::stringMember(source, "library_project_id");
        fuzz::check(fuzz::stringMember(shown, "projectName") ==
                        support::validUtf8(fuzz::stringMember(source, "display_name")),
                    "name changed");
        fuzz::check(fuzz::stringMember(shown, "projectDescription") ==
                        support::validUtf8(fuzz::optionalStringMember(source, "description", "")),
                    "description changed");
        fuzz::check(fuzz::stringMember(shown, "projectID") == support::validUtf8(id), "id changed on the page");
        fuzz::check(list->projects[i]->id == id, "project id differs from the answer");
    }
    return 0;
}
