#include "exmi/palette_event.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "support/text.h"

namespace EXMI {

PaletteEvent::PaletteEvent(std::string actionName) : action(std::move(actionName)) {}

PaletteEvent::PaletteEvent(std::string actionName, const std::string& json) : action(std::move(actionName)) {
    if (json.empty()) return;
    rapidjson::Document document;
    // Iteratively: the page's text is outside input, and nesting must not
    // be able to exhaust the UI thread's stack.
    document.Parse<rapidjson::kParseIterativeFlag>(json.data(), json.size());
    if (document.HasParseError() || !document.IsObject()) return;
    for (auto member = document.MemberBegin(); member != document.MemberEnd(); ++member) {
        if (!member->name.IsString() || !member->value.IsString()) continue;
        set(std::string(member->name.GetString(), member->name.GetStringLength()),
            std::string(member->value.GetString(), member->value.GetStringLength()));
    }
}

void PaletteEvent::set(const std::string& key, const std::string& value) { args.emplace(key, value); }

std::string PaletteEvent::get(const std::string& key) const {
    const auto found = args.find(key);
    return found == args.end() ? std::string() : found->second;
}

std::string PaletteEvent::toJSON(const std::string& eventId) const {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    writer.Key("eventID");
    writer.String(eventId.data(), static_cast<rapidjson::SizeType>(eventId.size()));
    for (const auto& entry : args) {
        // Names and values may carry a page's message or a service's answer:
        // the page gets valid UTF-8 only.
        const std::string name = support::validUtf8(entry.first);
        writer.Key(name.data(), static_cast<rapidjson::SizeType>(name.size()));
        const std::string value = support::validUtf8(entry.second);
        writer.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
    }
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace EXMI
