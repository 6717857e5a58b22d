#pragma once
// Reads the add-in's log back as entries (source, message) for tests that
// compare the framework's lines byte for byte. APPDATA points to a private
// folder holding the log's folder tree for the life of the object.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/scratch.h"

namespace exmi_test {

struct Entry {
    std::string source;
    std::string message;
    bool operator==(const Entry& other) const { return source == other.source && message == other.message; }
};

inline std::ostream& operator<<(std::ostream& out, const Entry& entry) {
    return out << "{\"" << entry.source << "\", \"" << entry.message << "\"}";
}

class LogFile {
public:
    LogFile() : appData_("APPDATA", scratch_.path()) { std::filesystem::create_directories(folder()); }

    std::string folder() const { return scratch_.path() + "/Quorvane/Quorvane Kalvix/EXMI-AddIns"; }
    std::string path() const { return folder() + "/EXMI.log"; }

    // Every entry written so far. Every line ends with CR LF; a line without
    // the time stamp continues the message of the entry before it after its
    // four-space indent (joined here with a plain line feed, as the message
    // was given). Malformed lines fail the test.
    std::vector<Entry> entries() const {
        const std::string text = testing_support::readWholeFile(path());
        std::vector<Entry> result;
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                ADD_FAILURE() << "log ends without a line end: " << text.substr(start);
                break;
            }
            const std::string line = text.substr(start, end - start);
            start = end + 2;
            if (!stamped(line) && !result.empty()) {
                if (line.compare(0, 4, "    ") != 0) ADD_FAILURE() << "continuation line without its indent: " << line;
                result.back().message += "\n" + line.substr(std::min<size_t>(4, line.size()));
                continue;
            }
            const size_t bar = line.find(" | ", 25);
            if (!stamped(line) || bar == std::string::npos) {
                ADD_FAILURE() << "malformed log line: " << line;
                continue;
            }
            result.push_back(Entry{line.substr(25, bar - 25), line.substr(bar + 3)});
        }
        return result;
    }

    // "YYYY-MM-DD HH:MM:SS.mmm  " at the start of the line.
    static bool stamped(const std::string& line) {
        static const std::regex stamp(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}  .*)");
        return std::regex_match(line, stamp);
    }

    // Remembers the current end of the log; since() returns what follows.
    void mark() { mark_ = entries().size(); }
    std::vector<Entry> since() const {
        std::vector<Entry> all = entries();
        return std::vector<Entry>(all.begin() + static_cast<std::ptrdiff_t>(std::min(mark_, all.size())), all.end());
    }

    size_t count(const Entry& wanted) const { return countIn(entries(), wanted); }
    size_t countSince(const Entry& wanted) const { return countIn(since(), wanted); }

    // Whether `wanted` was written exactly once since mark(); how often if not.
    testing::AssertionResult onceSince(const Entry& wanted) const {
        const size_t n = countSince(wanted);
        if (n == 1) return testing::AssertionSuccess();
        return testing::AssertionFailure() << wanted << " written " << n << " times";
    }

    static size_t countIn(const std::vector<Entry>& entries, const Entry& wanted) {
        size_t n = 0;
        for (const Entry& entry : entries) n += entry == wanted ? 1 : 0;
        return n;
    }

private:
    testing_support::ScratchFolder scratch_;
    testing_support::EnvironmentOverride appData_;
    size_t mark_ = 0;
};

// The entries of `all` from `source`s in `sources` only, in order.
inline std::vector<Entry> only(const std::vector<Entry>& all, const std::vector<std::string>& sources) {
    std::vector<Entry> result;
    for (const Entry& entry : all) {
        for (const std::string& source : sources) {
            if (entry.source == source) {
                result.push_back(entry);
                break;
            }
        }
    }
    return result;
}

}  // namespace exmi_test
