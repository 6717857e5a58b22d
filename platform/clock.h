#pragma once
// Broken-down local time, through the thread-safe variant each platform
// offers (localtime_s on Windows, localtime_r on POSIX). Stateless.

#include <ctime>

namespace platform {

// False when the time cannot be represented.
bool localTime(std::time_t when, std::tm& out);

}  // namespace platform
