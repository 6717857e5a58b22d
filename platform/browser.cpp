#include "platform/browser.h"

#ifdef _WIN32
// windows.h first: the shell headers build on its macros.
#include <windows.h>

#include <shellapi.h>
#else
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;
#endif

#include "platform/utf.h"

namespace platform {

namespace {

bool acceptableUrl(const std::u16string& url) {
    std::string ignored;
    return !url.empty() && url.front() != u'-' && url.find(u'\0') == std::u16string::npos && utf16ToUtf8(url, ignored);
}

}  // namespace

#ifdef _WIN32

bool openUrl(const std::u16string& url) {
    if (!acceptableUrl(url)) return false;
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(url.c_str()), nullptr,
                                           nullptr, SW_SHOWDEFAULT);
    // Values above 32 mean success.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

#else  // POSIX

namespace {

bool isExecutableFile(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

// Resolves a program name the way execvp would, but before forking, so
// that the child only has to call execve.
bool resolveProgram(const std::string& name, std::string& path) {
    if (name.empty()) return false;
    if (name.find('/') != std::string::npos) {
        path = name;
        return isExecutableFile(path);
    }
    const char* env = std::getenv("PATH");
    const std::string search = env != nullptr ? env : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= search.size()) {
        std::size_t end = search.find(':', start);
        if (end == std::string::npos) end = search.size();
        std::string folder = search.substr(start, end - start);
        if (folder.empty()) folder = ".";
        std::string candidate = folder + "/" + name;
        if (isExecutableFile(candidate)) {
            path = candidate;
            return true;
        }
        start = end + 1;
    }
    return false;
}

void closeQuietly(int fd) {
    if (fd >= 0) ::close(fd);
}

// Starts `program` with `argument` and does not wait for it: an
// intermediate child forks the program and exits at once, so the program
// is adopted by init and never stays a zombie of the host. A close-on-exec
// pipe tells whether execve succeeded: it sees end-of-file on success and
// the errno otherwise.
bool spawnDetached(const std::string& program, const std::string& argument) {
    int fds[2];
#ifdef __linux__
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
#else
    if (::pipe(fds) != 0) return false;
    for (int fd : fds) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
#endif

    std::vector<char> arg0(program.begin(), program.end());
    arg0.push_back('\0');
    std::vector<char> arg1(argument.begin(), argument.end());
    arg1.push_back('\0');
    char* argv[] = {arg0.data(), arg1.data(), nullptr};

    const pid_t child = ::fork();
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        ::close(fds[0]);
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execve(program.c_str(), argv, environ);
            const int error = errno;
            ssize_t ignored = ::write(fds[1], &error, sizeof error);
            (void)ignored;
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    ::close(fds[1]);
    if (child < 0) {
        closeQuietly(fds[0]);
        return false;
    }

    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    // ECHILD means the host ignores SIGCHLD, so the kernel reaped the child;
    // the pipe below still tells whether the program started.
    const bool childOk = waited < 0 ? errno == ECHILD : WIFEXITED(status) && WEXITSTATUS(status) == 0;

    int execError = 0;
    ssize_t got;
    do {
        got = ::read(fds[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    closeQuietly(fds[0]);
    return childOk && got == 0;
}

}  // namespace

bool openUrl(const std::u16string& url) {
    if (!acceptableUrl(url)) return false;
    std::string address;
    utf16ToUtf8(url, address);

    std::vector<std::string> candidates;
    const char* browser = std::getenv("BROWSER");
    if (browser != nullptr && *browser != '\0') {
        const std::string list = browser;
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t end = list.find(':', start);
            if (end == std::string::npos) end = list.size();
            if (end > start) candidates.push_back(list.substr(start, end - start));
            start = end + 1;
        }
    } else {
        candidates.push_back("xdg-open");
    }

    for (const std::string& name : candidates) {
        std::string program;
        if (resolveProgram(name, program) && spawnDetached(program, address)) return true;
    }
    return false;
}

#endif

}  // namespace platform
