// AddIn: loads an add-in shared library as the host does (dlopen, or
// LoadLibraryW on Windows), finds its exported entry points `run` and `stop`
// (extern "C", both returning bool) and calls them on the UI thread. The
// library is unloaded on destruction.
#pragma once

#include <string>

namespace qrvn {
namespace sim {

class AddIn {
public:
    AddIn() = default;
    ~AddIn();
    AddIn(const AddIn&) = delete;
    AddIn& operator=(const AddIn&) = delete;

    // False (with error()) when the library or an entry point is missing.
    bool load(const std::string& path);
    bool isLoaded() const { return handle_ != nullptr; }
    bool run();
    bool stop();
    void unload();
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    bool (*run_)() = nullptr;
    bool (*stop_)() = nullptr;
    std::string error_;
};

}  // namespace sim
}  // namespace qrvn
