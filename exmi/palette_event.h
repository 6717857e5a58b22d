#pragma once
// PaletteEvent: one message between the add-in and the page in a palette,
// in either direction: an action name and string arguments, kept in
// byte-wise key order so that the JSON the page receives is deterministic.
// A plain value with no thread affinity; it is built and used on the host's
// user-interface thread.

#include <map>
#include <string>

namespace EXMI {

class PaletteEvent {
public:
    explicit PaletteEvent(std::string actionName);
    // Copies the string members of a JSON object text. Anything else
    // (invalid JSON, a root that is not an object, members that are not
    // strings) is skipped silently: a page message never fails to arrive.
    PaletteEvent(std::string actionName, const std::string& json);

    // Inserts the pair unless the key is present already (first value wins).
    void set(const std::string& key, const std::string& value);
    // The value, or empty text for an absent key.
    std::string get(const std::string& key) const;

    // Compact JSON object: "eventID" first, then every argument in key order.
    std::string toJSON(const std::string& eventId) const;

    const std::string& getAction() const { return action; }
    const std::map<std::string, std::string>& getArgs() const { return args; }

    std::string action;
    std::map<std::string, std::string> args;
};

}  // namespace EXMI
