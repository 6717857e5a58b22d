#include "platform/environment.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "platform/utf.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace platform {

namespace {

bool usableName(const std::u16string& name) {
    return !name.empty() && name.find(u'\0') == std::u16string::npos && name.find(u'=') == std::u16string::npos;
}

}  // namespace

#ifdef _WIN32

std::optional<std::u16string> readEnvironment(const std::u16string& name) {
    if (!usableName(name)) return std::nullopt;
    wchar_t* buffer = nullptr;
    std::size_t length = 0;
    const errno_t err = _wdupenv_s(&buffer, &length, reinterpret_cast<const wchar_t*>(name.c_str()));
    if (err != 0 || buffer == nullptr) {
        std::free(buffer);
        return std::nullopt;
    }
    std::u16string value(reinterpret_cast<const char16_t*>(buffer));
    std::free(buffer);
    return value;
}

std::string currentUserId() { return std::string(); }

#else  // POSIX

std::string currentUserId() { return std::to_string(::getuid()); }

std::optional<std::u16string> readEnvironment(const std::u16string& name) {
    if (!usableName(name)) return std::nullopt;
    std::string narrowName;
    if (!utf16ToUtf8(name, narrowName)) throw std::runtime_error("bad conversion");
    const char* value = std::getenv(narrowName.c_str());
    if (value == nullptr) return std::nullopt;
    std::u16string wideValue;
    if (!utf8ToUtf16(value, wideValue)) throw std::runtime_error("bad conversion");
    return wideValue;
}

#endif

}  // namespace platform
