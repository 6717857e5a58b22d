#include "platform/browser.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/utf.h"
#include "tests/support/scratch.h"

namespace {

using namespace std::chrono_literals;
using testing_support::EnvironmentOverride;
using testing_support::readWholeFile;
using testing_support::ScratchFolder;
using testing_support::writeWholeFile;

// A stand-in browser: records its argument count and first argument, then
// blocks until the test opens the release pipe for writing.
const char kRecorder[] =
    "#!/bin/sh\n"
    "printf '%s|%s' \"$#\" \"$1\" > \"$EXMI_BROWSER_OUT.part\"\n"
    "mv \"$EXMI_BROWSER_OUT.part\" \"$EXMI_BROWSER_OUT\"\n"
    "if [ -p \"$EXMI_BROWSER_RELEASE\" ]; then read line < \"$EXMI_BROWSER_RELEASE\"; fi\n";

class BrowserTest : public ::testing::Test {
 protected:
  BrowserTest()
      : out_("EXMI_BROWSER_OUT", scratch_ / "opened"),
        release_("EXMI_BROWSER_RELEASE", scratch_ / "release"),
        browser_("BROWSER") {}

  std::string installScript(const std::string& name) {
    const std::string path = scratch_ / name;
    writeWholeFile(path, kRecorder);
    ::chmod(path.c_str(), 0755);
    return path;
  }

  // Polls for the recorder's output; empty when it never came.
  std::string waitForOpened() {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
      if (std::filesystem::exists(scratch_ / "opened")) return readWholeFile(scratch_ / "opened");
      std::this_thread::sleep_for(5ms);
    }
    return std::string();
  }

  // Lets a recorder blocked on the release pipe finish.
  bool releaseRecorder() {
    const std::string fifo = scratch_ / "release";
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
      const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        ssize_t ignored = ::write(fd, "\n", 1);
        (void)ignored;
        ::close(fd);
        return true;
      }
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

  static bool open(const std::string& url) {
    std::u16string wide;
    EXPECT_TRUE(platform::utf8ToUtf16(url, wide));
    return platform::openUrl(wide);
  }

  ScratchFolder scratch_;
  EnvironmentOverride out_;
  EnvironmentOverride release_;
  EnvironmentOverride browser_;
};

TEST_F(BrowserTest, AddressReachesTheBrowserAsOneUninterpretedArgument) {
  browser_.set(installScript("browser"));
  const std::string url = "https://127.0.0.1/app/project/1 2?a=1&b=$(touch " + scratch_.path() +
                          "/pwned);`touch " + scratch_.path() + "/pwned2`|true>" +
                          scratch_.path() + "/pwned3 '\"\\";
  ASSERT_TRUE(open(url));
  EXPECT_EQ(waitForOpened(), "1|" + url);
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "pwned"));
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "pwned2"));
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "pwned3"));
}

TEST_F(BrowserTest, ReturnsWhileTheBrowserRunsAndLeavesNoChildToReap) {
  ASSERT_EQ(::mkfifo((scratch_ / "release").c_str(), 0600), 0);
  browser_.set(installScript("browser"));
  // The recorder blocks on the release pipe until released below, so a
  // call that waited for the browser would never get here.
  ASSERT_TRUE(open("https://127.0.0.1/app/library/"));
  int status = 0;
  errno = 0;
  EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD) << "a child of the caller is left behind";
  EXPECT_EQ(waitForOpened(), "1|https://127.0.0.1/app/library/");
  EXPECT_TRUE(releaseRecorder());
}

TEST_F(BrowserTest, BrowserListFallsThroughToTheFirstStartableProgram) {
  browser_.set(scratch_.path() + "/missing-browser::" + installScript("second"));
  ASSERT_TRUE(open("https://127.0.0.1/x"));
  EXPECT_EQ(waitForOpened(), "1|https://127.0.0.1/x");
}

TEST_F(BrowserTest, WithoutBrowserVariableXdgOpenIsSearchedOnPath) {
  ::mkdir((scratch_ / "bin").c_str(), 0755);
  installScript("bin/xdg-open");
  browser_.unset();
  // Ours comes first; the system folders stay for the tools the script uses.
  EnvironmentOverride path(
      "PATH", scratch_.path() + "/nowhere:" + scratch_.path() + "/bin:/usr/bin:/bin");
  ASSERT_TRUE(open("https://127.0.0.1/y"));
  EXPECT_EQ(waitForOpened(), "1|https://127.0.0.1/y");
}

TEST_F(BrowserTest, FailsWhenNothingCanBeStartedOrTheAddressLooksLikeAnOption) {
  browser_.set(scratch_.path() + "/missing-browser");
  EXPECT_FALSE(open("https://127.0.0.1/"));

  const std::string notExecutable = scratch_ / "plain";
  writeWholeFile(notExecutable, "#!/bin/sh\n");
  browser_.set(notExecutable);
  EXPECT_FALSE(open("https://127.0.0.1/"));

  browser_.set(installScript("browser"));
  EXPECT_FALSE(open("--new-window=evil"));
  EXPECT_FALSE(open(""));
  EXPECT_FALSE(platform::openUrl(std::u16string{u'h', 0xD800}));
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "opened"));
}

}  // namespace
