#pragma once
// ChildProcess runs one program as a child of the benchmark, with pipes to
// its standard input and from its standard output (standard error is
// inherited), and reports on exit its status, its wall time and its own
// peak resident memory. The program is started through
// bench_peak_launcher (bench/peak_launcher.cpp), which keeps the
// benchmark's own size out of the child's peak. Owned and used by one
// thread; a child still running when the object goes is killed and reaped.

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace bench {

class ChildProcess {
public:
    struct Exit {
        int code = -1;       // exit code, or -signal number when killed
        double seconds = 0;  // wall time from start to exit
        long maxRssKiB = 0;  // the child's peak resident set
    };

    // Starts argv[0], looked up on PATH, through `launcher` (the path of
    // bench_peak_launcher), with this process's environment plus
    // `environment` ("NAME=value" entries, replacing equal names). Throws
    // std::runtime_error when the program cannot be started.
    ChildProcess(const std::string& launcher, const std::vector<std::string>& argv,
                 const std::vector<std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // One line of the child's output without its line end; false at end of
    // output.
    bool readLine(std::string& line);
    // Writes text and a line end to the child's input; throws
    // std::runtime_error when the child no longer reads it.
    void writeLine(const std::string& line);
    void closeInput();
    // Waits for the child to end. Call once.
    Exit wait();

    // The program's process id (not the launcher's).
    pid_t pid() const { return pid_; }

private:
    bool readReport(std::string& line);
    void reapLauncher();

    pid_t launcher_ = -1;
    pid_t pid_ = -1;
    std::FILE* input_ = nullptr;   // the child's standard input
    std::FILE* output_ = nullptr;  // the child's standard output
    std::FILE* report_ = nullptr;  // the launcher's report lines
};

}  // namespace bench
