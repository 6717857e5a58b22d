#include "support/log.h"

#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <regex>
#include <set>

#include "tests/support/log_fixture.h"
#include "tests/support/scratch.h"

namespace {

using namespace std::chrono;
using testing_support::CurrentFolderOverride;
using testing_support::EnvironmentOverride;
using testing_support::LogTest;
using testing_support::readWholeFile;
using testing_support::writeWholeFile;

// A zone far from UTC and without daylight saving, so that a time stamp
// taken in the wrong zone cannot pass.
class FixedZone {
public:
    FixedZone() {
        tz_.emplace("TZ", "XYZ-05:30");
        ::tzset();
    }
    ~FixedZone() {
        tz_.reset();
        ::tzset();
    }

private:
    std::optional<EnvironmentOverride> tz_;
};

system_clock::time_point localTimePoint(int y, int mo, int d, int h, int mi, int s, int ms) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = 0;
    return system_clock::from_time_t(::mktime(&t)) + milliseconds(ms);
}

std::string referenceStamp(system_clock::time_point when) {
    const std::time_t seconds = system_clock::to_time_t(floor<std::chrono::seconds>(when));
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    char millis[16];
    std::snprintf(millis, sizeof millis, ".%03d",
                  static_cast<int>((duration_cast<milliseconds>(when.time_since_epoch()) % 1000).count()));
    return std::string(text) + millis;
}

std::set<std::string> treeOf(const std::string& folder) {
    std::set<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        entries.insert(entry.path().string());
    return entries;
}

TEST(LogTimestamp, LocalTimeWithZeroPaddedMilliseconds) {
    FixedZone zone;
    EXPECT_EQ(support::formatLogTimestamp(localTimePoint(2024, 2, 1, 13, 5, 7, 7)), "2024-02-01 13:05:07.007");
    EXPECT_EQ(support::formatLogTimestamp(localTimePoint(1999, 12, 31, 23, 59, 59, 999)), "1999-12-31 23:59:59.999");
    EXPECT_EQ(support::formatLogTimestamp(localTimePoint(2030, 7, 4, 0, 0, 0, 0)), "2030-07-04 00:00:00.000");
    EXPECT_EQ(support::formatLogTimestamp(localTimePoint(2024, 2, 1, 13, 5, 7, 999) + microseconds(999)),
              "2024-02-01 13:05:07.999")
        << "microseconds are cut, not rounded into the next millisecond";
}

TEST_F(LogTest, AppendsOneLinePerCallAtTheCurrentLocalTimeWithMessagesUnchanged) {
    FixedZone zone;
    writeWholeFile(logFile(), "earlier session\r\n");
    const std::string before = referenceStamp(system_clock::now());
    support::log("Failed to create machine: no setup", "EXMIimpl::handlePotentialNewMachine");
    const std::string after = referenceStamp(system_clock::now());
    support::log("first\nsecond line\nthird", "Palette::onHTMLEvent");
    support::log("", "CommandBase::onExecute");
    support::log("caf\xC3\xA9 | 100%", "A::b");

    const std::string content = readWholeFile(logFile());
    const std::regex expected("earlier session\r\n" +
                              linePattern("EXMIimpl::handlePotentialNewMachine", "Failed to create machine: no setup") +
                              linePattern("Palette::onHTMLEvent", "first\nsecond line\nthird") +
                              linePattern("CommandBase::onExecute", "") + linePattern("A::b", "caf\xC3\xA9 \\| 100%"));
    ASSERT_TRUE(std::regex_match(content, expected)) << content;
    const std::string stamp = content.substr(17, 23);
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
}

TEST_F(LogTest, PathFollowsAppDataOnEveryCallElseTheCurrentFolder) {
    appData_.set("C:\\Users\\me\\AppData\\Roaming");
    EXPECT_EQ(support::logFilePath(), "C:\\Users\\me\\AppData\\Roaming/Quorvane/Quorvane Kalvix/EXMI-AddIns/EXMI.log");

    const std::string other = scratch_ / "Ro\xC3\xA4ming";
    std::filesystem::create_directories(other + "/Quorvane/Quorvane Kalvix/EXMI-AddIns");
    appData_.set(other);
    support::log("to the other", "T::t");
    appData_.set(scratch_ / "Roaming");
    support::log("to the first", "T::t");
    EXPECT_TRUE(std::regex_match(readWholeFile(other + "/Quorvane/Quorvane Kalvix/EXMI-AddIns/EXMI.log"),
                                 std::regex(linePattern("T::t", "to the other"))));
    EXPECT_TRUE(std::regex_match(readWholeFile(logFile()), std::regex(linePattern("T::t", "to the first"))));

    std::filesystem::create_directory(scratch_ / "cwd");
    CurrentFolderOverride cwd(scratch_ / "cwd");
    appData_.unset();
    EXPECT_EQ(support::logFilePath(), "EXMI.log");
    support::log("unset", "T::t");
    appData_.set("");
    support::log("empty", "T::t");
    EXPECT_TRUE(std::regex_match(readWholeFile(scratch_ / "cwd/EXMI.log"),
                                 std::regex(linePattern("T::t", "unset") + linePattern("T::t", "empty"))));
    EXPECT_TRUE(std::regex_match(readWholeFile(logFile()), std::regex(linePattern("T::t", "to the first"))));
}

TEST_F(LogTest, MissingLogFolderLosesTheLineAndCreatesNothing) {
    std::filesystem::remove_all(logFolder());
    std::filesystem::create_directory(scratch_ / "cwd");
    CurrentFolderOverride cwd(scratch_ / "cwd");
    const auto before = treeOf(scratch_.path());
    support::log("lost", "T::t");
    EXPECT_EQ(treeOf(scratch_.path()), before);
}

}  // namespace
