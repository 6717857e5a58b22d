#pragma once
// Test helpers: a private folder removed with everything in it when the
// test ends, scoped overrides of environment variables and of the current
// folder, and polling against a deadline. Used on the test's main thread only.

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

namespace testing_support {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "exmi-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& child) const { return path_ + "/" + child; }

private:
    std::string path_;
};

class EnvironmentOverride {
public:
    explicit EnvironmentOverride(std::string name) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) previous_ = old;
    }
    EnvironmentOverride(std::string name, const std::string& value) : EnvironmentOverride(std::move(name)) {
        set(value);
    }
    ~EnvironmentOverride() {
        if (previous_) ::setenv(name_.c_str(), previous_->c_str(), 1);
        else ::unsetenv(name_.c_str());
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

    void set(const std::string& value) { ::setenv(name_.c_str(), value.c_str(), 1); }
    void unset() { ::unsetenv(name_.c_str()); }

private:
    std::string name_;
    std::optional<std::string> previous_;
};

class CurrentFolderOverride {
public:
    explicit CurrentFolderOverride(const std::string& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~CurrentFolderOverride() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }

private:
    std::filesystem::path previous_;
};

inline std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The message of the std::runtime_error that f throws, or "no failure".
template <typename F>
std::string failureOf(F f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no failure";
}

inline void writeWholeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// How many of this process's file descriptors are open on `path` (Linux,
// through /proc; elsewhere 0, where deleting a file that is still open fails
// instead and the tests see the file left behind).
inline int openDescriptorsOf(const std::string& path) {
    int count = 0;
#ifdef __linux__
    std::error_code error;
    const std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code unreadable;
        const std::filesystem::path opened = std::filesystem::read_symlink(entry.path(), unreadable);
        if (!unreadable && opened == target) ++count;
    }
#else
    (void)path;
#endif
    return count;
}

// Polls until `condition` holds (true) or `limit` has passed (false); a test
// never waits a fixed time for a result.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace testing_support
