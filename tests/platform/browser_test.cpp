#include "platform/browser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>

#include "platform/utf.h"
#include "tests/support/scratch.h"

namespace {

using namespace std::chrono_literals;
using testing_support::EnvironmentOverride;
using testing_support::readWholeFile;
using testing_support::ScratchFolder;
using testing_support::writeWholeFile;

// A stand-in browser: records its argument count and first argument, then
// blocks until the test opens the release pipe for writing (if there is one).
const char kRecorder[] = "#!/bin/sh\n"
                         "printf '%s|%s' \"$#\" \"$1\" > \"$EXMI_BROWSER_OUT.part\"\n"
                         "mv \"$EXMI_BROWSER_OUT.part\" \"$EXMI_BROWSER_OUT\"\n"
                         "if [ -p \"$EXMI_BROWSER_RELEASE\" ]; then read line < \"$EXMI_BROWSER_RELEASE\"; fi\n";

class BrowserTest : public ::testing::Test {
protected:
    BrowserTest()
        : out_("EXMI_BROWSER_OUT", scratch_ / "opened"), release_("EXMI_BROWSER_RELEASE", scratch_ / "release"),
          browser_("BROWSER") {}

    std::string installScript(const std::string& name) {
        const std::string path = scratch_ / name;
        writeWholeFile(path, kRecorder);
        ::chmod(path.c_str(), 0755);
        return path;
    }

    // The recorder's "<argc>|<first argument>", or empty if it never ran.
    std::string waitForOpened() {
        testing_support::waitUntil([&] { return std::filesystem::exists(scratch_ / "opened"); }, 20s);
        return readWholeFile(scratch_ / "opened");
    }

    static bool open(const std::string& url) {
        std::u16string wide;
        EXPECT_TRUE(platform::utf8ToUtf16(url, wide));
        return platform::openUrl(wide);
    }

    ScratchFolder scratch_;
    EnvironmentOverride out_, release_, browser_;
};

#ifdef _WIN32

// The shell starts the program registered for https: under test, the
// stand-in scripts/test --windows registers (stratavox_browser_recorder),
// which appends its argument to the file STRATAVOX_BROWSER_RECORD names.
TEST_F(BrowserTest, AddressReachesTheProgramRegisteredForHttpsAsOneArgument) {
    EnvironmentOverride record("STRATAVOX_BROWSER_RECORD", scratch_ / "opened");
    const std::string url = "https://127.0.0.1/app/project/1 2?a=1&b=$(x)|y>z";
    ASSERT_TRUE(open(url));
    EXPECT_TRUE(testing_support::waitUntil([&] { return readWholeFile(scratch_ / "opened") == url + "\n"; }, 20s))
        << readWholeFile(scratch_ / "opened");
}

#else

TEST_F(BrowserTest, AddressReachesTheBrowserAsOneArgumentWithoutShellOrChildLeftBehind) {
    const std::string fifo = scratch_ / "release";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The first program of the list that can be started.
    browser_.set(scratch_.path() + "/missing-browser::" + installScript("browser"));
    const std::string url = "https://127.0.0.1/app/project/1 2?a=1&b=$(touch " + scratch_.path() + "/pwned);`touch " +
                            scratch_.path() + "/pwned2`|true>" + scratch_.path() + "/pwned3 '\"\\";
    // The recorder blocks until released below, so a call that waited for
    // the browser would never return.
    ASSERT_TRUE(open(url));
    int status = 0;
    errno = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD) << "a child of the caller is left behind";
    EXPECT_EQ(waitForOpened(), "1|" + url);
    for (const char* marker : {"pwned", "pwned2", "pwned3"})
        EXPECT_FALSE(std::filesystem::exists(scratch_ / marker)) << marker;
    EXPECT_TRUE(testing_support::waitUntil([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) return false;
        EXPECT_EQ(::write(fd, "\n", 1), 1);
        ::close(fd);
        return true;
    }));
}

TEST_F(BrowserTest, WithoutBrowserXdgOpenOnPath) {
    ::mkdir((scratch_ / "bin").c_str(), 0755);
    installScript("bin/xdg-open");
    browser_.unset();
    // Ours comes first; the system folders stay for the tools the script uses.
    EnvironmentOverride path("PATH", scratch_.path() + "/nowhere:" + scratch_.path() + "/bin:/usr/bin:/bin");
    ASSERT_TRUE(open("https://127.0.0.1/y"));
    EXPECT_EQ(waitForOpened(), "1|https://127.0.0.1/y");
}

#endif

TEST_F(BrowserTest, FailsWhenNothingCanBeStartedOrTheAddressLooksLikeAnOptionOrIsNoText) {
#ifndef _WIN32
    browser_.set(scratch_.path() + "/missing-browser");
    EXPECT_FALSE(open("https://127.0.0.1/"));
    const std::string notExecutable = scratch_ / "plain";
    writeWholeFile(notExecutable, "#!/bin/sh\n");
    browser_.set(notExecutable);
    EXPECT_FALSE(open("https://127.0.0.1/"));
    browser_.set(installScript("browser"));
#endif
    EXPECT_FALSE(open("--new-window=evil"));
    EXPECT_FALSE(open(""));
    EXPECT_FALSE(platform::openUrl(std::u16string{u'h', 0xD800}));
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "opened"));
}

}  // namespace
