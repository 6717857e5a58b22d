// A message from the palette page: whatever the page sends arrives as a
// PaletteEvent whose arguments are exactly the first string value of each
// member name (nothing at all for text that is no JSON object), and the
// JSON sent back to a page carries "eventID" first and then the same
// arguments (invalid UTF-8 replaced), so reading it again gives the same event.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "exmi/palette_event.h"
#include "fuzz/checks.h"
#include "support/text.h"

namespace {

using Args = std::map<std::string, std::string>;

const char* const kEventId = "0123456789abcdef0123456789abcdef";

// First string value per name, in the order the members appear.
Args firstStringMembers(const std::string& json) {
    Args expected;
    rapidjson::Document document;
    if (json.empty() || !fuzz::parseJson(document, json) || !document.IsObject()) return expected;
    for (auto it = document.MemberBegin(); it != document.MemberEnd(); ++it) {
        if (!it->value.IsString()) continue;
        expected.emplace(std::string(it->name.GetString(), it->name.GetStringLength()),
                         std::string(it->value.GetString(), it->value.GetStringLength()));
    }
    return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string json = fuzz::bytes(data, size);
    const EXMI::PaletteEvent event("createproject", json);
    fuzz::check(event.getAction() == "createproject", "action changed");
    fuzz::check(event.getArgs() == firstStringMembers(json), "arguments differ from the message's string members");

    const std::string sent = event.toJSON(kEventId);
    rapidjson::Document document;
    fuzz::check(fuzz::parseJson(document, sent) && document.IsObject(), "toJSON is no JSON object: " + sent);
    fuzz::check(document.MemberCount() == event.getArgs().size() + 1, "toJSON has another member count");
    fuzz::check(document.MemberBegin()->name == "eventID" && fuzz::stringMember(document, "eventID") == kEventId,
                "toJSON does not start with the event id");

    // An argument that is itself called "eventID" is shadowed by the id; text
    // that is no valid UTF-8 comes back with U+FFFD in its place.
    Args expected;
    for (const auto& argument : event.getArgs())
        expected.emplace(support::validUtf8(argument.first), support::validUtf8(argument.second));
    expected["eventID"] = kEventId;
    const EXMI::PaletteEvent echoed("createproject", sent);
    fuzz::check(echoed.getArgs() == expected, "toJSON does not read back as the same arguments");
    return 0;
}
