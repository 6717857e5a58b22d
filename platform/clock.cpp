#include "platform/clock.h"

#include <time.h>

namespace platform {

bool localTime(std::time_t when, std::tm& out) {
#ifdef _WIN32
    return localtime_s(&out, &when) == 0;
#else
    return localtime_r(&when, &out) != nullptr;
#endif
}

}  // namespace platform
