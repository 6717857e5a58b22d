#include "emulator/json.h"

namespace emulator {

std::string errorJson(const std::string& error, const std::string& description) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writeMember(writer, "error", error);
    writeMember(writer, "error_description", description);
    writer.EndObject();
    return buffer.GetString();
}

bool stringMember(const rapidjson::Value& object, const char* key, std::string& value) {
    if (!object.IsObject()) return false;
    auto it = object.FindMember(key);
    if (it == object.MemberEnd() || !it->value.IsString()) return false;
    value.assign(it->value.GetString(), it->value.GetStringLength());
    return true;
}

}  // namespace emulator
