#include "simhost/sim/addin.h"

#include <dlfcn.h>

namespace qrvn {
namespace sim {

AddIn::~AddIn() { unload(); }

bool AddIn::load(const std::string& path) {
    unload();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* reason = dlerror();
        error_ = reason ? reason : "cannot load " + path;
        return false;
    }
    run_ = reinterpret_cast<bool (*)()>(dlsym(handle_, "run"));
    stop_ = reinterpret_cast<bool (*)()>(dlsym(handle_, "stop"));
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
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    run_ = nullptr;
    stop_ = nullptr;
}

}  // namespace sim
}  // namespace qrvn
