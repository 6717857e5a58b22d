#include "platform/module.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace platform {

#ifdef _WIN32

bool pinThisModule() {
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN;
    return GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&pinThisModule), &module) != 0;
}

#else

bool pinThisModule() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&pinThisModule), &info) == 0 || info.dli_fname == nullptr) return false;
    // Re-opening the already loaded file with RTLD_NODELETE marks it as never
    // to be unloaded; the extra reference taken here is simply kept.
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}

#endif

}  // namespace platform
