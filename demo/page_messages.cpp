#include "demo/page_messages.h"

#include <curl/curl.h>
#include <rapidjson/document.h>

#include "simhost/sim/palettes.h"

namespace demo {

std::string PageMessage::get(const std::string& key) const {
    for (const auto& member : members) {
        if (member.first == key) return member.second;
    }
    return std::string();
}

bool PageMessage::has(const std::string& key) const {
    for (const auto& member : members) {
        if (member.first == key) return true;
    }
    return false;
}

PageMessage readPageMessage(const std::string& action, const std::string& data) {
    PageMessage message;
    message.action = action;
    rapidjson::Document json;
    json.Parse(data.c_str(), data.size());
    if (json.HasParseError() || !json.IsObject()) return message;
    message.isObject = true;
    for (auto it = json.MemberBegin(); it != json.MemberEnd(); ++it) {
        if (it->value.IsString()) message.members.emplace_back(it->name.GetString(), it->value.GetString());
    }
    return message;
}

namespace {

std::string percentDecode(const std::string& text, bool& ok) {
    int length = 0;
    char* decoded = curl_easy_unescape(nullptr, text.data(), static_cast<int>(text.size()), &length);
    ok = decoded != nullptr;
    std::string result = decoded ? std::string(decoded, static_cast<size_t>(length)) : std::string();
    curl_free(decoded);
    return result;
}

std::string stringMember(const rapidjson::Value& object, const char* name, bool& ok) {
    auto it = object.FindMember(name);
    if (it == object.MemberEnd() || !it->value.IsString()) {
        ok = false;
        return std::string();
    }
    return it->value.GetString();
}

}  // namespace

bool decodeProjectList(const std::string& encoded, std::vector<ListedProject>& projects) {
    bool ok = true;
    const std::string text = percentDecode(encoded, ok);
    if (!ok) return false;
    rapidjson::Document json;
    json.Parse(text.c_str(), text.size());
    if (json.HasParseError() || !json.IsArray()) return false;
    std::vector<ListedProject> result;
    for (const auto& item : json.GetArray()) {
        if (!item.IsObject()) return false;
        ListedProject project;
        project.name = stringMember(item, "projectName", ok);
        project.description = stringMember(item, "projectDescription", ok);
        project.id = stringMember(item, "projectID", ok);
        if (!ok) return false;
        result.push_back(project);
    }
    projects = result;
    return true;
}

std::string screenOf(const PageMessage& message) {
    return message.action == "navigate" ? message.get("target") : std::string();
}

namespace {

// Texts from the service may span lines; a transcript line must not.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    return text;
}

std::string describeUnflattened(const PageMessage& message) {
    if (!message.isObject) return message.action + " (data is not a JSON object)";
    if (message.action == "navigate") {
        const std::string target = message.get("target");
        std::string text = "navigate -> " + target;
        if (target == "successscreen") text += " (project " + message.get("projectid") + ")";
        if (target == "errorscreen") text += ": \"" + message.get("errormessage") + "\"";
        return text;
    }
    if (message.action == "projectlist") {
        std::vector<ListedProject> projects;
        if (!decodeProjectList(message.get("projectlist"), projects)) return "projectlist (undecodable)";
        std::string text =
            "projectlist: " + std::to_string(projects.size()) + (projects.size() == 1 ? " project" : " projects");
        for (size_t i = 0; i < projects.size(); ++i) {
            text += (i == 0 ? " [" : ", ") + ("\"" + projects[i].name + "\" (" + projects[i].id + ")");
            if (i + 1 == projects.size()) text += "]";
        }
        if (message.has("defaultprojectid")) text += ", preselected " + message.get("defaultprojectid");
        return text;
    }
    if (message.action == "materials") {
        return message.has("printer") ? "materials: printer \"" + message.get("printer") + "\""
                                      : "materials: no active setup";
    }
    std::string text = message.action;
    for (const auto& member : message.members) text += " " + member.first + "=\"" + member.second + "\"";
    return text;
}

}  // namespace

std::string describe(const PageMessage& message) { return oneLine(describeUnflattened(message)); }

std::vector<PageMessage> PageWatcher::takeNew() {
    std::vector<PageMessage> fresh;
    const qrvn::core::Ptr<qrvn::core::Palette> window = qrvn::sim::findPalette(paletteId_);
    if (!window) return fresh;
    if (window != window_) {
        window_ = window;
        taken_ = 0;
    }
    const std::vector<qrvn::sim::PageMessage> all = qrvn::sim::messagesToPage(paletteId_);
    for (size_t i = taken_; i < all.size(); ++i) fresh.push_back(readPageMessage(all[i].action, all[i].data));
    taken_ = all.size();
    seen_.insert(seen_.end(), fresh.begin(), fresh.end());
    return fresh;
}

}  // namespace demo
