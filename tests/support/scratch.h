#pragma once
// Test helpers: a private folder removed with everything in it when the
// test ends, scoped overrides of environment variables and of the current
// folder, and polling against a deadline. Used on the test's main thread only.

#include <stdlib.h>

#ifdef _WIN32
// Not windows.h: its macros (MessageBox, min, max) would rename names of
// the tests that include this. windef.h first: winbase.h builds on it.
#include <windef.h>

#include <winbase.h>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

namespace testing_support {

// The variable that names the temporary folder: Windows takes TMP first
// (GetTempPathW); under Wine the Linux TMPDIR never reaches the program.
#ifdef _WIN32
constexpr const char* kTempFolderVariable = "TMP";
#else
constexpr const char* kTempFolderVariable = "TMPDIR";
#endif

// A file system path from a UTF-8 name, so that non-ASCII names reach
// Windows through their UTF-16 form.
inline std::filesystem::path fsPath(const std::string& utf8) { return std::filesystem::u8path(utf8); }

// Whether `path` names an entry right inside `folder`, whichever separators
// either uses (Windows gives its temporary folder with backslashes).
inline bool liesIn(const std::string& path, const std::string& folder) {
    return fsPath(path).parent_path().lexically_normal() == fsPath(folder).lexically_normal();
}

class ScratchFolder {
public:
    // A new folder only this test uses (create_directory fails when the
    // name is taken, like mkdtemp).
    ScratchFolder() {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate =
                std::filesystem::temp_directory_path() / ("exmi-test-" + std::to_string(random() % 1000000000000ULL));
            if (std::filesystem::create_directory(candidate)) path_ = candidate.string();
        }
        if (path_.empty()) throw std::runtime_error("no scratch folder");
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
#ifdef _WIN32
        if (const wchar_t* old = ::_wgetenv(wide(name_).c_str())) previous_ = std::filesystem::path(old).u8string();
#else
        if (const char* old = std::getenv(name_.c_str())) previous_ = old;
#endif
    }
    EnvironmentOverride(std::string name, const std::string& value) : EnvironmentOverride(std::move(name)) {
        set(value);
    }
    ~EnvironmentOverride() {
        if (previous_) set(*previous_);
        else unset();
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

#ifdef _WIN32
    // UTF-8 in, UTF-16 to Windows. The C runtime keeps a copy of its own
    // (getenv), the process block is what GetEnvironmentVariableW and
    // GetTempPathW read; only the block can hold an empty value.
    void set(const std::string& value) {
        ::_wputenv_s(wide(name_).c_str(), wide(value).c_str());
        ::SetEnvironmentVariableW(wide(name_).c_str(), wide(value).c_str());
    }
    void unset() {
        ::_wputenv_s(wide(name_).c_str(), L"");
        ::SetEnvironmentVariableW(wide(name_).c_str(), nullptr);
    }
#else
    void set(const std::string& value) { ::setenv(name_.c_str(), value.c_str(), 1); }
    void unset() { ::unsetenv(name_.c_str()); }
#endif

private:
#ifdef _WIN32
    static std::wstring wide(const std::string& utf8) { return fsPath(utf8).wstring(); }
#endif
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
    std::ifstream in(fsPath(path), std::ios::binary);
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
    std::ofstream(fsPath(path), std::ios::binary | std::ios::trunc) << content;
}

// How many of this process's file descriptors are open on `path` (Linux,
// through /proc). On Windows, 1 while any handle holds the file open and 0
// once none does: the product opens files sharing reading and writing but
// not deletion, so Windows refuses to rename a file that is still open. On
// other systems 0, where the tests see a file left behind instead.
inline int openDescriptorsOf(const std::string& path) {
    int count = 0;
#if defined(__linux__)
    std::error_code error;
    const std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code unreadable;
        const std::filesystem::path opened = std::filesystem::read_symlink(entry.path(), unreadable);
        if (!unreadable && opened == target) ++count;
    }
#elif defined(_WIN32)
    const std::filesystem::path file = fsPath(path);
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return 0;
    std::filesystem::path probe = file;
    probe += ".rename-probe";
    std::filesystem::rename(file, probe, error);
    if (error) return 1;
    std::filesystem::rename(probe, file, error);
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
