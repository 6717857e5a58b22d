#include "cloud/cloud_json.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <stdexcept>

#include "support/text.h"

namespace EXMIImpl {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

std::string text(const rapidjson::Value& value) { return std::string(value.GetString(), value.GetStringLength()); }

// Names come from the host's documents and may hold any bytes; the service
// must only ever get valid UTF-8.
void writeString(Writer& writer, const char* key, const std::string& raw) {
    const std::string value = support::validUtf8(raw);
    writer.Key(key);
    writer.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
}

std::string finish(const rapidjson::StringBuffer& buffer) { return std::string(buffer.GetString(), buffer.GetSize()); }

// Iterative: an answer nested deeply enough would exhaust the UI thread's
// stack in the recursive parser.
bool parse(rapidjson::Document& document, const std::string& body) {
    document.Parse<rapidjson::kParseIterativeFlag>(body.c_str(), body.size());
    return !document.HasParseError();
}

std::shared_ptr<CStratavoxFabriqoProject> readProject(const rapidjson::Value& value) {
    if (!value.IsObject()) throw std::runtime_error("project data is no object");
    const auto name = value.FindMember("display_name");
    const auto id = value.FindMember("library_project_id");
    if (name == value.MemberEnd()) throw std::runtime_error("project data object has no display name");
    if (id == value.MemberEnd()) throw std::runtime_error("project data object has no project id");
    if (!name->value.IsString()) throw std::runtime_error("project data display name is no string");
    if (!id->value.IsString()) throw std::runtime_error("project data project id is no string");
    std::string description;
    const auto found = value.FindMember("description");
    if (found != value.MemberEnd()) {
        if (!found->value.IsString()) throw std::runtime_error("project data description is no string");
        description = text(found->value);
    }
    return std::make_shared<CStratavoxFabriqoProject>(text(id->value), text(name->value), description);
}

// The envelope shared by the create-project and announcement answers.
const rapidjson::Value& dataObject(rapidjson::Document& document, const std::string& body) {
    if (!parse(document, body)) throw std::runtime_error("invalid create project response");
    if (!document.IsObject()) throw std::runtime_error("invalid create project response object");
    const auto data = document.FindMember("data");
    if (data == document.MemberEnd()) throw std::runtime_error("create response has no data");
    if (!data->value.IsObject()) throw std::runtime_error("create response data is no object");
    return data->value;
}

}  // namespace

TokenAnswer readTokenAnswer(const std::string& body) {
    rapidjson::Document document;
    if (!parse(document, body)) throw std::runtime_error("could not parse login response.");
    if (!document.IsObject()) throw std::runtime_error("invalid token expiration time");
    const auto access = document.FindMember("access_token");
    if (access == document.MemberEnd()) throw std::runtime_error("acccess token not found");
    const auto refresh = document.FindMember("refresh_token");
    if (refresh == document.MemberEnd()) throw std::runtime_error("refresh token not found");
    const auto expires = document.FindMember("expires_in");
    if (expires == document.MemberEnd()) throw std::runtime_error("expiration not found");
    if (!access->value.IsString() || !refresh->value.IsString() || !expires->value.IsUint())
        throw std::runtime_error("could not log in account!");
    TokenAnswer answer;
    answer.expiresIn = expires->value.GetUint();
    // Less than half a minute of validity leaves no room for the refresh margin.
    if (answer.expiresIn < 31) throw std::runtime_error("invalid token expiration time");
    answer.accessToken = text(access->value);
    answer.refreshToken = text(refresh->value);
    return answer;
}

std::shared_ptr<CStratavoxFabriqoProjectList> readProjectList(const std::string& body) {
    rapidjson::Document document;
    if (!parse(document, body) || !document.IsObject()) return nullptr;
    const auto data = document.FindMember("data");
    if (data == document.MemberEnd()) throw std::runtime_error("data field not found");
    if (!data->value.IsArray()) throw std::runtime_error("data field is no array");
    auto list = std::make_shared<CStratavoxFabriqoProjectList>();
    for (const auto& element : data->value.GetArray()) list->projects.push_back(readProject(element));
    return list;
}

std::shared_ptr<CStratavoxFabriqoProject> readCreatedProject(const std::string& body) {
    rapidjson::Document document;
    return readProject(dataObject(document, body));
}

std::string readUploadUrl(const std::string& body) {
    rapidjson::Document document;
    const rapidjson::Value& data = dataObject(document, body);
    const auto url = data.FindMember("upload_url");
    if (url == data.MemberEnd()) throw std::runtime_error("did not receive upload URL");
    if (!url->value.IsString()) throw std::runtime_error("upload URL is no string");
    return text(url->value);
}

std::string createProjectBody(const std::string& name, const std::string& description) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    writer.Key("data");
    writer.StartObject();
    writeString(writer, "display_name", name);
    writeString(writer, "description", description);
    writer.EndObject();
    writer.EndObject();
    return finish(buffer);
}

std::string thumbnailBody(const std::string& description, const std::string& name, const std::string& dataAddress) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    writer.Key("data");
    writer.StartObject();
    writeString(writer, "description", description);
    writeString(writer, "display_name", name);
    writeString(writer, "thumbnail", dataAddress);
    writer.EndObject();
    writer.EndObject();
    return finish(buffer);
}

std::string announcementBody(const std::string& contentType, bool isPrintJob, const std::string& remoteFileName,
                             uint64_t fileSize, const std::string& projectId, const std::string& origin) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    writer.Key("data");
    writer.StartObject();
    writeString(writer, "content_type", contentType);
    writeString(writer, isPrintJob ? "job_name" : "file_name", remoteFileName);
    writer.Key("file_size");
    writer.Uint64(fileSize);
    writeString(writer, "library_project_id", projectId);
    writeString(writer, "origin", origin);
    writer.EndObject();
    writer.EndObject();
    return finish(buffer);
}

}  // namespace EXMIImpl
