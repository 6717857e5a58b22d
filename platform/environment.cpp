#include "platform/environment.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

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

// GetEnvironmentVariableW reads the process's own block, as every C runtime
// does, and exists in each of them (msvcrt has no _wdupenv_s).
std::optional<std::u16string> readEnvironment(const std::u16string& name) {
    if (!usableName(name)) return std::nullopt;
    const wchar_t* wideName = reinterpret_cast<const wchar_t*>(name.c_str());
    std::vector<wchar_t> buffer(256);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetEnvironmentVariableW(wideName, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            // An empty value also answers 0, without an error.
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::u16string();
        }
        // Too small: `length` is the size needed, terminator included.
        if (length < buffer.size()) return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), length);
        buffer.resize(length);
    }
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
