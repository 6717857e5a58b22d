#include "bench/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
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
        for (const std::string& override : overrides) replaced = replaced || nameOf(override) == nameOf(variable);
        if (!replaced) merged.push_back(variable);
    }
    merged.insert(merged.end(), overrides.begin(), overrides.end());
    return merged;
}

bool readLineFrom(std::FILE* file, std::string& line) {
    line.clear();
    if (!file) return false;
    char* buffer = nullptr;
    size_t capacity = 0;
    const ssize_t length = ::getline(&buffer, &capacity, file);
    if (length >= 0) {
        line.assign(buffer, static_cast<size_t>(length));
        if (!line.empty() && line.back() == '\n') line.pop_back();
    }
    std::free(buffer);
    return length >= 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& launcher, const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment) {
    if (argv.empty()) throw std::runtime_error("no program to start");
    // A child that dies early must make writeLine fail, not end the
    // benchmark with SIGPIPE.
    static std::once_flag ignorePipeSignal;
    std::call_once(ignorePipeSignal, [] { ::signal(SIGPIPE, SIG_IGN); });

    // Our ends are close-on-exec so that later children do not inherit them
    // and the output pipe reaches end of file when this child exits.
    int pipes[3][2] = {{-1, -1}, {-1, -1}, {-1, -1}};  // input, output, report
    for (auto& pipe : pipes) {
        if (::pipe2(pipe, O_CLOEXEC) != 0) {
            const std::string reason = std::strerror(errno);
            for (auto& opened : pipes) {
                closeFd(opened[0]);
                closeFd(opened[1]);
            }
            throw std::runtime_error("pipe: " + reason);
        }
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipes[0][0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipes[1][1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipes[2][1], 3);

    std::vector<char*> args{const_cast<char*>(launcher.c_str())};
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> variables = mergedEnvironment(environment);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(&variable[0]);
    envp.push_back(nullptr);

    const int error = ::posix_spawn(&launcher_, launcher.c_str(), &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    closeFd(pipes[0][0]);
    closeFd(pipes[1][1]);
    closeFd(pipes[2][1]);
    if (error != 0) {
        closeFd(pipes[0][1]);
        closeFd(pipes[1][0]);
        closeFd(pipes[2][0]);
        launcher_ = -1;
        throw std::runtime_error("cannot start " + launcher + ": " + std::strerror(error));
    }
    input_ = ::fdopen(pipes[0][1], "w");
    output_ = ::fdopen(pipes[1][0], "r");
    report_ = ::fdopen(pipes[2][0], "r");

    std::string line;
    readReport(line);
    if (line.compare(0, 8, "started ") == 0) {
        pid_ = static_cast<pid_t>(std::atol(line.c_str() + 8));
        return;
    }
    reapLauncher();
    closeInput();
    std::fclose(output_);
    std::fclose(report_);
    const std::string reason = line.compare(0, 7, "failed ") == 0 ? line.substr(7) : "no report";
    throw std::runtime_error("cannot start " + argv[0] + ": " + reason);
}

ChildProcess::~ChildProcess() {
    closeInput();
    if (pid_ > 0) ::kill(pid_, SIGKILL);
    reapLauncher();
    if (output_) std::fclose(output_);
    if (report_) std::fclose(report_);
}

bool ChildProcess::readLine(std::string& line) { return readLineFrom(output_, line); }

bool ChildProcess::readReport(std::string& line) { return readLineFrom(report_, line); }

void ChildProcess::writeLine(const std::string& line) {
    if (!input_) throw std::runtime_error("the child's input is closed");
    if (std::fputs(line.c_str(), input_) < 0 || std::fputc('\n', input_) < 0 || std::fflush(input_) != 0)
        throw std::runtime_error("the child no longer reads its input");
}

void ChildProcess::closeInput() {
    if (input_) std::fclose(input_);
    input_ = nullptr;
}

void ChildProcess::reapLauncher() {
    if (launcher_ <= 0) return;
    int status = 0;
    while (::waitpid(launcher_, &status, 0) < 0 && errno == EINTR) {}
    launcher_ = -1;
    pid_ = -1;
}

ChildProcess::Exit ChildProcess::wait() {
    if (pid_ <= 0) throw std::runtime_error("no child to wait for");
    closeInput();
    std::string line;
    readReport(line);
    reapLauncher();
    Exit exit;
    std::istringstream fields(line);
    std::string word;
    if (!(fields >> word >> exit.code >> exit.seconds >> exit.maxRssKiB) || word != "exit")
        throw std::runtime_error("the launcher reported \"" + line + "\"");
    return exit;
}

}  // namespace bench
