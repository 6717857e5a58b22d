// bench_peak_launcher COMMAND ARGS...: runs COMMAND as its own child and
// reports on file descriptor 3, one line each:
//   "started <pid>"  or  "failed <reason>"          once COMMAND runs (or not)
//   "exit <code> <seconds> <peak KiB>"               when it has ended
// (code: exit code, or -signal). Standard input, output and error are
// passed through.
//
// Why a launcher: Linux counts the memory of the process that starts a
// child into the child's peak resident size (ru_maxrss keeps the high-water
// mark of the address space that exec replaced). Started from the large
// benchmark process, every child would report at least the benchmark's own
// size. Started from this small process, it reports its own.
//
// Plain POSIX calls only, so that the launcher itself stays small.

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

const int kReport = 3;

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        dprintf(2, "usage: bench_peak_launcher COMMAND ARGS...\n");
        return 2;
    }
    fcntl(kReport, F_SETFD, FD_CLOEXEC);
    // Tells the launcher whether exec worked: closed by a successful exec,
    // written with errno by a failed one.
    int execStatus[2];
    if (pipe2(execStatus, O_CLOEXEC) != 0) {
        dprintf(kReport, "failed pipe: %s\n", strerror(errno));
        return 1;
    }
    const double started = now();
    const pid_t pid = fork();
    if (pid < 0) {
        dprintf(kReport, "failed fork: %s\n", strerror(errno));
        return 1;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the launcher
        execvp(argv[1], argv + 1);
        const int error = errno;
        ssize_t ignored = write(execStatus[1], &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    close(execStatus[1]);
    // The streams belong to the command alone: its input must see a closed
    // pipe, and its reader the end of output, as if no launcher were there.
    close(STDIN_FILENO);
    close(STDOUT_FILENO);
    int error = 0;
    ssize_t got;
    do {
        got = read(execStatus[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(execStatus[0]);
    if (got == static_cast<ssize_t>(sizeof error)) {
        waitpid(pid, nullptr, 0);
        dprintf(kReport, "failed %s\n", strerror(error));
        return 1;
    }
    dprintf(kReport, "started %d\n", static_cast<int>(pid));

    int status = 0;
    rusage usage{};
    pid_t reaped;
    do {
        reaped = wait4(pid, &status, 0, &usage);
    } while (reaped < 0 && errno == EINTR);
    const double seconds = now() - started;
    if (reaped < 0) {
        dprintf(kReport, "failed wait4: %s\n", strerror(errno));
        return 1;
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    dprintf(kReport, "exit %d %.6f %ld\n", code, seconds, usage.ru_maxrss);
    return 0;
}
