#include "demo/holdings.h"

#include <rapidjson/document.h>

namespace demo {

namespace {

using Value = rapidjson::Value;

// Readers that note the first member that is missing or of the wrong type.
class Reader {
public:
    explicit Reader(std::string& error) : error_(error) {}

    std::string text(const Value& object, const char* name) {
        auto it = object.FindMember(name);
        if (it != object.MemberEnd() && it->value.IsString()) return it->value.GetString();
        note(name);
        return std::string();
    }
    std::uint64_t count(const Value& object, const char* name) {
        auto it = object.FindMember(name);
        if (it != object.MemberEnd() && it->value.IsUint64()) return it->value.GetUint64();
        note(name);
        return 0;
    }
    int number(const Value& object, const char* name) {
        auto it = object.FindMember(name);
        if (it != object.MemberEnd() && it->value.IsInt()) return it->value.GetInt();
        note(name);
        return 0;
    }
    bool ok() const { return error_.empty(); }

private:
    void note(const char* name) {
        if (error_.empty()) error_ = std::string("member \"") + name + "\" is missing or has the wrong type";
    }
    std::string& error_;
};

const Value* array(const rapidjson::Document& json, const char* name) {
    auto it = json.FindMember(name);
    return it != json.MemberEnd() && it->value.IsArray() ? &it->value : nullptr;
}

std::string shortDigest(const std::string& sha256) { return sha256.empty() ? "(none)" : sha256; }

void printFile(std::ostream& out, const HeldFile& file, const std::string& indent) {
    out << indent << "  " << (file.kind == "job" ? "print job " : "file      ") << "\"" << file.name << "\"\n"
        << indent << "      size " << file.size << " bytes, content type " << file.contentType << "\n"
        << indent << "      SHA-256 " << shortDigest(file.sha256) << "\n";
}

}  // namespace

const HeldProject* Holdings::project(const std::string& id) const {
    for (const HeldProject& p : projects) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

std::vector<HeldFile> Holdings::filesOf(const std::string& projectId) const {
    std::vector<HeldFile> result;
    for (const HeldFile& f : files) {
        if (f.projectId == projectId) result.push_back(f);
    }
    return result;
}

bool parseHoldings(const std::string& json, Holdings& holdings, std::string& error) {
    error.clear();
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    if (document.HasParseError() || !document.IsObject()) {
        error = "not a JSON object";
        return false;
    }
    const Value* projects = array(document, "projects");
    const Value* files = array(document, "stored_files");
    if (!projects || !files) {
        error = "\"projects\" or \"stored_files\" is missing";
        return false;
    }
    Reader read(error);
    Holdings result;
    for (const Value& item : projects->GetArray()) {
        if (!item.IsObject()) {
            error = "a project is not an object";
            return false;
        }
        HeldProject project;
        project.id = read.text(item, "library_project_id");
        project.name = read.text(item, "display_name");
        project.description = read.text(item, "description");
        auto thumbnail = item.FindMember("thumbnail");
        if (thumbnail != item.MemberEnd() && thumbnail->value.IsObject()) {
            const Value& t = thumbnail->value;
            project.thumbnail.present = true;
            project.thumbnail.contentType = read.text(t, "content_type");
            project.thumbnail.size = read.count(t, "size");
            project.thumbnail.sha256 = read.text(t, "sha256");
            project.thumbnail.width = read.number(t, "width");
            project.thumbnail.height = read.number(t, "height");
        }
        result.projects.push_back(project);
    }
    for (const Value& item : files->GetArray()) {
        if (!item.IsObject()) {
            error = "a stored file is not an object";
            return false;
        }
        HeldFile file;
        file.name = read.text(item, "name");
        file.kind = read.text(item, "kind");
        file.id = read.text(item, "id");
        file.projectId = read.text(item, "library_project_id");
        file.contentType = read.text(item, "content_type");
        file.size = read.count(item, "size");
        file.sha256 = read.text(item, "sha256");
        file.origin = read.text(item, "origin");
        result.files.push_back(file);
    }
    if (!read.ok()) return false;
    holdings = result;
    return true;
}

void printHoldings(std::ostream& out, const Holdings& holdings, const std::string& indent) {
    if (holdings.projects.empty() && holdings.files.empty()) {
        out << indent << "(nothing: no projects, no files)\n";
        return;
    }
    for (const HeldProject& project : holdings.projects) {
        out << indent << "project \"" << project.name << "\" (id " << project.id << ")";
        if (!project.description.empty()) out << ", \"" << project.description << "\"";
        out << "\n";
        if (project.thumbnail.present) {
            out << indent << "  thumbnail " << project.thumbnail.contentType << " " << project.thumbnail.width << "x"
                << project.thumbnail.height << ", " << project.thumbnail.size << " bytes\n"
                << indent << "      SHA-256 " << shortDigest(project.thumbnail.sha256) << "\n";
        } else {
            out << indent << "  no thumbnail\n";
        }
        const std::vector<HeldFile> files = holdings.filesOf(project.id);
        if (files.empty()) out << indent << "  no files\n";
        for (const HeldFile& file : files) printFile(out, file, indent);
    }
    bool headed = false;
    for (const HeldFile& file : holdings.files) {
        if (holdings.project(file.projectId)) continue;
        if (!headed) out << indent << "files outside any listed project:\n";
        headed = true;
        printFile(out, file, indent);
    }
}

}  // namespace demo
