#include "cloud/stratavox_project.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace EXMIImpl {

std::string CStratavoxFabriqoProjectList::toJson() const {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartArray();
    for (const auto& project : projects) {
        if (!project) continue;
        writer.StartObject();
        writer.Key("projectName");
        writer.String(project->name.c_str(), static_cast<rapidjson::SizeType>(project->name.size()));
        writer.Key("projectDescription");
        writer.String(project->description.c_str(), static_cast<rapidjson::SizeType>(project->description.size()));
        writer.Key("projectID");
        writer.String(project->id.c_str(), static_cast<rapidjson::SizeType>(project->id.size()));
        writer.EndObject();
    }
    writer.EndArray();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace EXMIImpl
