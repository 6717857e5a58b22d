#include "emulator/state_json.h"

#include "emulator/json.h"

namespace emulator {

std::string stateJson(const ServiceState& state) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writeMember(writer, "account_server", state.origin);
    writeMember(writer, "api_base", state.origin.empty() ? "" : state.origin + "/plyx/v1");
    writer.Key("projects");
    writer.StartArray();
    for (const Project& p : state.projects.all()) {
        writer.StartObject();
        writeMember(writer, "library_project_id", p.id);
        writeMember(writer, "display_name", p.name);
        writeMember(writer, "description", p.description);
        writer.Key("thumbnail");
        if (p.thumbnailContentType.empty()) {
            writer.Null();
        } else {
            writer.StartObject();
            writeMember(writer, "content_type", p.thumbnailContentType);
            writer.Key("size");
            writer.Uint64(p.thumbnailSize);
            writeMember(writer, "sha256", p.thumbnailSha256);
            writer.Key("width");
            writer.Int(p.thumbnailWidth);
            writer.Key("height");
            writer.Int(p.thumbnailHeight);
            writer.EndObject();
        }
        writer.EndObject();
    }
    writer.EndArray();
    writer.Key("stored_files");
    writer.StartArray();
    for (const StoredFile& f : state.uploads.stored()) {
        writer.StartObject();
        writeMember(writer, "name", f.name);
        writeMember(writer, "kind", f.kind);
        writeMember(writer, "id", f.id);
        writeMember(writer, "library_project_id", f.projectId);
        writeMember(writer, "content_type", f.contentType);
        writeMember(writer, "upload_content_type", f.uploadContentType);
        writer.Key("size");
        writer.Uint64(f.size);
        writeMember(writer, "sha256", f.sha256);
        writeMember(writer, "origin", f.origin);
        writeMember(writer, "path", f.path);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return buffer.GetString();
}

}  // namespace emulator
