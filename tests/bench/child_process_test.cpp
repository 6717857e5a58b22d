// Child processes: the conversation over their standard streams, their
// environment, exit status, their own peak memory, and how they fail.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

#include "bench/child_process.h"

namespace bench {
namespace {

std::vector<std::string> shell(const std::string& script) { return {"sh", "-c", script}; }

TEST(ChildProcess, TalksOverItsStreamsWithThisEnvironmentAndReportsTheExitCode) {
    ::setenv("BENCH_INHERITED", "kept", 1);
    ::setenv("BENCH_REPLACED", "old", 1);
    ChildProcess child(BENCH_LAUNCHER,
                       shell("read first; echo \"got $first $BENCH_INHERITED $BENCH_REPLACED $BENCH_ADDED\"; "
                             "env | grep -c '^BENCH_REPLACED='; printf 'no line end'; exit 3"),
                       {"BENCH_REPLACED=new", "BENCH_ADDED=a=b"});
    ::unsetenv("BENCH_INHERITED");
    ::unsetenv("BENCH_REPLACED");
    std::string line;
    child.writeLine("hello");
    ASSERT_TRUE(child.readLine(line));
    EXPECT_EQ("got hello kept new a=b", line);
    ASSERT_TRUE(child.readLine(line));
    EXPECT_EQ("1", line);  // replaced, not added a second time
    ASSERT_TRUE(child.readLine(line));
    EXPECT_EQ("no line end", line);
    EXPECT_FALSE(child.readLine(line));
    EXPECT_EQ(3, child.wait().code);
}

TEST(ChildProcess, PeakMemoryIsThatOfEachChildAlone) {
    // dd holds its whole 64 MiB block in memory.
    ChildProcess big(BENCH_LAUNCHER, {"dd", "if=/dev/zero", "of=/dev/null", "bs=64M", "count=1", "status=none"});
    const ChildProcess::Exit bigExit = big.wait();
    EXPECT_EQ(0, bigExit.code);
    EXPECT_GE(bigExit.maxRssKiB, 64 * 1024);
    // Neither the earlier child's peak nor this process's size counts (a
    // child exec'd straight from here would keep this process's high-water mark).
    std::vector<char> ballast(128 * 1024 * 1024, 1);
    ChildProcess small(BENCH_LAUNCHER, shell("exit 0"));
    const ChildProcess::Exit smallExit = small.wait();
    EXPECT_EQ(0, smallExit.code);
    EXPECT_GT(smallExit.maxRssKiB, 0);
    EXPECT_LT(smallExit.maxRssKiB, 32 * 1024);
    EXPECT_EQ(1, ballast[ballast.size() / 2]);
}

TEST(ChildProcess, FailuresThrowOrReportAndARunningChildEndsWithTheObject) {
    EXPECT_THROW(ChildProcess("/no/such/launcher", {"true"}), std::runtime_error);
    try {
        ChildProcess child(BENCH_LAUNCHER, {"no-such-program-for-the-benchmark"});
        FAIL() << "started";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string::npos, std::string(error.what()).find("cannot start no-such-program-for-the-benchmark"));
    }

    ChildProcess killed(BENCH_LAUNCHER, shell("kill -TERM $$"));
    EXPECT_EQ(-SIGTERM, killed.wait().code);

    pid_t pid = 0;
    {
        ChildProcess deaf(BENCH_LAUNCHER, shell("exec 0<&-; echo closed; exec sleep 60"));
        pid = deaf.pid();
        ASSERT_GT(pid, 0);
        std::string line;
        ASSERT_TRUE(deaf.readLine(line));
        EXPECT_EQ("closed", line);
        // Without SIGPIPE being ignored this would end the test process.
        EXPECT_THROW(deaf.writeLine("anyone there?"), std::runtime_error);
    }
    // Killed and reaped: the process id no longer names a process of ours.
    errno = 0;
    EXPECT_EQ(-1, ::kill(pid, 0));
    EXPECT_EQ(ESRCH, errno);
}

}  // namespace
}  // namespace bench
