#include "bench/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>

extern char** environ;

namespace bench {
namespace {

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// This process's environment with `overrides` put in place of equal names.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& overrides) {
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        bool replaced = false;
        for (const std::string& override : overrides)
            replaced = replaced || nameOf(override) == nameOf(variable);
        if (!replaced) merged.push_back(variable);
    }
    merged.insert(merged.end(), overrides.begin(), overrides.end());
    return merged;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment) {
    if (argv.empty()) throw std::runtime_error("no program to start");
    // A child that dies early must make writeLine fail, not end the
    // benchmark with SIGPIPE.
    static std::once_flag ignorePipeSignal;
    std::call_once(ignorePipeSignal, [] { ::signal(SIGPIPE, SIG_IGN); });
    // Our ends are close-on-exec so that later children do not inherit them
    // and an output pipe reaches end of file when this child exits.
    int toChild[2] = {-1, -1};
    int fromChild[2] = {-1, -1};
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
        closeFd(toChild[0]);
        closeFd(toChild[1]);
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);

    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> variables = mergedEnvironment(environment);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(&variable[0]);
    envp.push_back(nullptr);

    started_ = std::chrono::steady_clock::now();
    const int error = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    closeFd(toChild[0]);
    closeFd(fromChild[1]);
    if (error != 0) {
        closeFd(toChild[1]);
        closeFd(fromChild[0]);
        pid_ = -1;
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
    }
    input_ = ::fdopen(toChild[1], "w");
    output_ = ::fdopen(fromChild[0], "r");
}

ChildProcess::~ChildProcess() {
    closeInput();
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    if (output_) std::fclose(output_);
}

bool ChildProcess::readLine(std::string& line) {
    line.clear();
    if (!output_) return false;
    char* buffer = nullptr;
    size_t capacity = 0;
    const ssize_t length = ::getline(&buffer, &capacity, output_);
    if (length >= 0) {
        line.assign(buffer, static_cast<size_t>(length));
        if (!line.empty() && line.back() == '\n') line.pop_back();
    }
    std::free(buffer);
    return length >= 0;
}

void ChildProcess::writeLine(const std::string& line) {
    if (!input_) throw std::runtime_error("the child's input is closed");
    if (std::fputs(line.c_str(), input_) < 0 || std::fputc('\n', input_) < 0 ||
        std::fflush(input_) != 0)
        throw std::runtime_error("the child no longer reads its input");
}

void ChildProcess::closeInput() {
    if (input_) std::fclose(input_);
    input_ = nullptr;
}

ChildProcess::Exit ChildProcess::wait() {
    if (pid_ <= 0) throw std::runtime_error("no child to wait for");
    closeInput();
    int status = 0;
    rusage usage{};
    pid_t reaped;
    do {
        reaped = ::wait4(pid_, &status, 0, &usage);
    } while (reaped < 0 && errno == EINTR);
    Exit exit;
    exit.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    pid_ = -1;
    if (reaped < 0) throw std::runtime_error(std::string("wait4: ") + std::strerror(errno));
    exit.code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    exit.maxRssKiB = usage.ru_maxrss;
    return exit;
}

}  // namespace bench
