#pragma once
// Small JSON helpers over RapidJSON shared by the emulator's endpoints.
// Stateless; safe on any thread.

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>

namespace emulator {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// {"error":error,"error_description":description}, the shape OAuth and the
// API both answer failures with.
std::string errorJson(const std::string& error, const std::string& description);

inline void writeString(JsonWriter& writer, const std::string& value) {
    writer.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

inline void writeMember(JsonWriter& writer, const char* key, const std::string& value) {
    writer.Key(key);
    writeString(writer, value);
}

// String member of an object, or empty with `present` false.
bool stringMember(const rapidjson::Value& object, const char* key, std::string& value);

}  // namespace emulator
