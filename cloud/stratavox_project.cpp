#include "cloud/stratavox_project.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <utility>

#include "support/text.h"

namespace EXMIImpl {

std::string CStratavoxFabriqoProjectList::toJson() const {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartArray();
    for (const auto& project : projects) {
        if (!project) continue;
        writer.StartObject();
        // The service's texts go to the page as they came, but only as valid UTF-8.
        for (const auto& member :
             {std::make_pair("projectName", &project->name),
              std::make_pair("projectDescription", &project->description), std::make_pair("projectID", &project->id)}) {
            const std::string value = support::validUtf8(*member.second);
            writer.Key(member.first);
            writer.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
        }
        writer.EndObject();
    }
    writer.EndArray();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace EXMIImpl
