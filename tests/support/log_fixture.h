#pragma once
// Fixture for log tests: APPDATA points to a private folder that holds the
// log's folder tree, removed again when the test ends.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/scratch.h"

namespace testing_support {

class LogTest : public ::testing::Test {
protected:
    LogTest() : appData_("APPDATA", scratch_ / "Roaming") { std::filesystem::create_directories(logFolder()); }

    std::string logFolder() const { return scratch_.path() + "/Roaming/Quorvane/Quorvane Kalvix/EXMI-AddIns"; }
    std::string logFile() const { return logFolder() + "/EXMI.log"; }

    // Regular expression of one whole line; source and message are
    // expected to be free of regular-expression syntax.
    static std::string linePattern(const std::string& source, const std::string& message) {
        return R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}  )" + source + R"( \| )" + message + "\r\n";
    }

    ScratchFolder scratch_;
    EnvironmentOverride appData_;
};

}  // namespace testing_support
