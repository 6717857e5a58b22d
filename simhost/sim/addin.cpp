#include "simhost/sim/addin.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace qrvn {
namespace sim {

namespace {

#ifdef _WIN32

// The path is UTF-8; Windows opens any name through its UTF-16 form.
void* openLibrary(const std::string& path, std::string& error) {
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (length <= 0) {
        error = "not a UTF-8 path: " + path;
        return nullptr;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), &wide[0], length);
    HMODULE module = LoadLibraryW(wide.c_str());
    if (!module) error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void*>(module);
}

template <typename Function>
Function findEntry(void* handle, const char* name) {
    // FARPROC to a function pointer type: cast through a generic one.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(handle), name)));
}

void closeLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

#else

void* openLibrary(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot load " + path;
    }
    return handle;
}

template <typename Function>
Function findEntry(void* handle, const char* name) {
    return reinterpret_cast<Function>(dlsym(handle, name));
}

void closeLibrary(void* handle) { dlclose(handle); }

#endif

}  // namespace

AddIn::~AddIn() { unload(); }

bool AddIn::load(const std::string& path) {
    unload();
    handle_ = openLibrary(path, error_);
    if (!handle_) return false;
    run_ = findEntry<bool (*)()>(handle_, "run");
    stop_ = findEntry<bool (*)()>(handle_, "stop");
    if (!run_ || !stop_) {
        error_ = "the library does not export run and stop: " + path;
        unload();
        return false;
    }
    error_.clear();
    return true;
}

bool AddIn::run() { return run_ ? run_() : false; }

bool AddIn::stop() { return stop_ ? stop_() : false; }

void AddIn::unload() {
    if (handle_) closeLibrary(handle_);
    handle_ = nullptr;
    run_ = nullptr;
    stop_ = nullptr;
}

}  // namespace sim
}  // namespace qrvn
