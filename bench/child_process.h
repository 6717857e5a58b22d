#pragma once
// ChildProcess runs one program as a child of the benchmark, with pipes to
// its standard input and from its standard output (standard error is
// inherited), and reports on exit its status, its wall time from start to
// exit and its own peak resident memory (wait4, so the figure is the
// child's alone). Owned and used by one thread; a child still running when
// the object goes is killed and reaped.

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

class ChildProcess {
public:
    struct Exit {
        int code = -1;        // exit code, or -signal number when killed
        double seconds = 0;   // wall time from start to exit
        long maxRssKiB = 0;   // the child's peak resident set
    };

    // Starts argv[0], looked up on PATH, with this process's environment
    // plus `environment` ("NAME=value" entries, replacing equal names).
    // Throws std::runtime_error when the program cannot be started.
    explicit ChildProcess(const std::vector<std::string>& argv,
                          const std::vector<std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // One line of the child's output without its line end; false at end of
    // output.
    bool readLine(std::string& line);
    // Writes text and a line end to the child's input.
    void writeLine(const std::string& line);
    void closeInput();
    // Waits for the child to end. Call once.
    Exit wait();

    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::FILE* input_ = nullptr;   // the child's standard input
    std::FILE* output_ = nullptr;  // the child's standard output
    std::chrono::steady_clock::time_point started_;
};

}  // namespace bench
