// The cloud API under /plyx/v1: projects, thumbnails, upload announcements.

#include "emulator/crypto.h"
#include "emulator/exchange.h"
#include "emulator/jpeg_probe.h"
#include "emulator/json.h"
#include "emulator/routes.h"

namespace emulator {

namespace {

// Largest file the API lets a client announce (64 GiB).
const std::uint64_t kMaxFileSize = 64ull << 30;

bool authorized(ServiceState& state, Call& call, const char* scope) {
    AccountService::Answer check = state.accounts.checkBearer(call.req.get_header_value("Authorization"), scope);
    if (check.status == 200) return true;
    if (!check.wwwAuthenticate.empty()) call.res.set_header("WWW-Authenticate", check.wwwAuthenticate);
    answerJson(call.res, check.status, check.json);
    return false;
}

// Parses a JSON request body and finds its "data" object; answers the
// failure itself and returns null when anything is off.
const rapidjson::Value* requestData(Call& call, rapidjson::Document& doc) {
    if (call.req.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
        answerJson(call.res, 415, errorJson("unsupported_media_type", "expected application/json"));
        return nullptr;
    }
    doc.Parse(call.req.body.c_str(), call.req.body.size());
    if (doc.HasParseError() || !doc.IsObject()) {
        answerJson(call.res, 400, errorJson("invalid_json", "body is not a JSON object"));
        return nullptr;
    }
    auto data = doc.FindMember("data");
    if (data == doc.MemberEnd() || !data->value.IsObject()) {
        answerJson(call.res, 400, errorJson("invalid_request", "\"data\" object required"));
        return nullptr;
    }
    return &data->value;
}

// Optional string member: absent is fine, another type is not.
bool optionalString(Call& call, const rapidjson::Value& data, const char* key, std::string& value, bool& present) {
    auto it = data.FindMember(key);
    present = it != data.MemberEnd();
    if (!present) return true;
    if (!it->value.IsString()) {
        answerJson(call.res, 400, errorJson("invalid_request", std::string("\"") + key + "\" must be a string"));
        return false;
    }
    value.assign(it->value.GetString(), it->value.GetStringLength());
    return true;
}

bool requiredString(Call& call, const rapidjson::Value& data, const char* key, std::string& value) {
    if (stringMember(data, key, value) && !value.empty()) return true;
    answerJson(call.res, 400, errorJson("invalid_request", std::string("\"") + key + "\" must be a non-empty string"));
    return false;
}

void writeProject(JsonWriter& writer, const Project& p) {
    writer.StartObject();
    writeMember(writer, "library_project_id", p.id);
    writeMember(writer, "display_name", p.name);
    writeMember(writer, "description", p.description);
    if (!p.thumbnailContentType.empty()) {
        writer.Key("thumbnail");
        writer.StartObject();
        writeMember(writer, "content_type", p.thumbnailContentType);
        writer.Key("size");
        writer.Uint64(p.thumbnailSize);
        writer.Key("width");
        writer.Int(p.thumbnailWidth);
        writer.Key("height");
        writer.Int(p.thumbnailHeight);
        writer.EndObject();
    }
    writer.EndObject();
}

std::string projectAnswer(const Project& p) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("data");
    writeProject(writer, p);
    writer.EndObject();
    return buffer.GetString();
}

void listProjects(ServiceState& state, Call& call) {
    if (!authorized(state, call, "library.project.read")) return;
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("data");
    writer.StartArray();
    for (const Project& p : state.projects.all()) writeProject(writer, p);
    writer.EndArray();
    writer.EndObject();
    answerJson(call.res, 200, buffer.GetString());
}

void createProject(ServiceState& state, Call& call) {
    if (!authorized(state, call, "library.project.write")) return;
    rapidjson::Document doc;
    const rapidjson::Value* data = requestData(call, doc);
    if (data == nullptr) return;
    std::string name, description;
    bool present = false;
    if (!requiredString(call, *data, "display_name", name)) return;
    if (!optionalString(call, *data, "description", description, present)) return;
    answerJson(call.res, 201, projectAnswer(state.projects.create(name, description)));
}

void setThumbnail(ServiceState& state, Call& call) {
    if (!authorized(state, call, "library.project.write")) return;
    std::string id = call.req.matches[1];
    if (!state.projects.exists(id)) {
        answerJson(call.res, 404, errorJson("not_found", "no such project"));
        return;
    }
    rapidjson::Document doc;
    const rapidjson::Value* data = requestData(call, doc);
    if (data == nullptr) return;
    std::string name, description, address;
    bool hasName = false, hasDescription = false;
    if (!optionalString(call, *data, "display_name", name, hasName)) return;
    if (!optionalString(call, *data, "description", description, hasDescription)) return;
    if (hasName && name.empty()) {
        answerJson(call.res, 400, errorJson("invalid_request", "\"display_name\" must not be empty"));
        return;
    }
    if (!requiredString(call, *data, "thumbnail", address)) return;
    const std::string prefix = "data:image/jpeg;base64,";
    if (address.rfind(prefix, 0) != 0) {
        answerJson(call.res, 415,
                   errorJson("unsupported_media_type", "thumbnail must be a data:image/jpeg;base64 address"));
        return;
    }
    std::string encoded = address.substr(prefix.size());
    if (encoded.size() / 4 * 3 > state.options.maxThumbnailBytes) {
        answerJson(call.res, 413, errorJson("too_large", "thumbnail too large"));
        return;
    }
    std::vector<std::uint8_t> bytes;
    if (!base64Decode(encoded, bytes)) {
        answerJson(call.res, 400, errorJson("invalid_request", "thumbnail is not valid base64"));
        return;
    }
    JpegInfo info;
    std::string why;
    if (!probeJpeg(bytes.data(), bytes.size(), info, &why)) {
        answerJson(call.res, 400, errorJson("invalid_image", "thumbnail is not a decodable JPEG: " + why));
        return;
    }
    Project thumbnail;
    thumbnail.thumbnailContentType = "image/jpeg";
    thumbnail.thumbnailSize = bytes.size();
    thumbnail.thumbnailSha256 = sha256Hex(bytes.data(), bytes.size());
    thumbnail.thumbnailWidth = info.width;
    thumbnail.thumbnailHeight = info.height;
    Project updated;
    if (!state.projects.update(id, hasName ? &name : nullptr, hasDescription ? &description : nullptr, thumbnail,
                               updated)) {
        answerJson(call.res, 404, errorJson("not_found", "no such project"));
        return;
    }
    answerJson(call.res, 200, projectAnswer(updated));
}

void announce(ServiceState& state, Call& call, bool job) {
    if (!authorized(state, call, job ? "plyx.printjob.write" : "plyx.mesh.write")) return;
    rapidjson::Document doc;
    const rapidjson::Value* data = requestData(call, doc);
    if (data == nullptr) return;
    const char* nameKey = job ? "job_name" : "file_name";
    std::string contentType, name, projectId, origin;
    bool hasOrigin = false;
    if (!requiredString(call, *data, "content_type", contentType)) return;
    if (!requiredString(call, *data, nameKey, name)) return;
    auto size = data->FindMember("file_size");
    if (size == data->MemberEnd() || !size->value.IsUint64()) {
        answerJson(call.res, 400, errorJson("invalid_request", "\"file_size\" must be an unsigned integer"));
        return;
    }
    if (size->value.GetUint64() > kMaxFileSize) {
        answerJson(call.res, 413, errorJson("too_large", "file too large"));
        return;
    }
    if (!requiredString(call, *data, "library_project_id", projectId)) return;
    if (!optionalString(call, *data, "origin", origin, hasOrigin)) return;
    if (!state.projects.exists(projectId)) {
        answerJson(call.res, 404, errorJson("not_found", "no such project"));
        return;
    }
    UploadStore::Slot slot =
        state.uploads.announce(job ? "job" : "file", projectId, name, contentType, size->value.GetUint64(), origin,
                               std::chrono::seconds(state.uploadUrlLifetimeSeconds.load()));
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("data");
    writer.StartObject();
    writeMember(writer, job ? "job_id" : "file_id", slot.id);
    writeMember(writer, "upload_url", state.origin + "/storage/" + slot.token);
    writer.EndObject();
    writer.EndObject();
    answerJson(call.res, 201, buffer.GetString());
}

}  // namespace

void installApiRoutes(httplib::Server& server, ServiceState& state) {
    server.Get("/plyx/v1/projects", [&state](const httplib::Request& req, httplib::Response& res) {
        serveEndpoint(state, Endpoint::ProjectsList, req, res, [&state](Call& call) { listProjects(state, call); });
    });
    server.Put("/plyx/v1/projects", [&state](const httplib::Request& req, httplib::Response& res) {
        serveEndpoint(state, Endpoint::ProjectCreate, req, res, [&state](Call& call) { createProject(state, call); });
    });
    server.Post("/plyx/v1/projects/([^/]+)", [&state](const httplib::Request& req, httplib::Response& res) {
        serveEndpoint(state, Endpoint::Thumbnail, req, res, [&state](Call& call) { setThumbnail(state, call); });
    });
    server.Put("/plyx/v1/files/upload", [&state](const httplib::Request& req, httplib::Response& res) {
        serveEndpoint(state, Endpoint::FilesAnnounce, req, res, [&state](Call& call) { announce(state, call, false); });
    });
    server.Put("/plyx/v1/jobs/upload", [&state](const httplib::Request& req, httplib::Response& res) {
        serveEndpoint(state, Endpoint::JobsAnnounce, req, res, [&state](Call& call) { announce(state, call, true); });
    });
}

}  // namespace emulator
