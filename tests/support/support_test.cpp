// Single-threaded support code: text conversion, the environment, files and
// paths, percent encoding, identifiers and the log.
#include <gtest/gtest.h>
#include <time.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <iomanip>
#include <regex>
#include <sstream>
#include <tuple>
#include <utility>

#include "platform/utf.h"
#include "support/encoding.h"
#include "support/files.h"
#include "support/ids.h"
#include "support/log.h"
#include "support/text.h"
#include "tests/support/log_fixture.h"
#include "tests/support/scratch.h"

namespace {

using testing_support::CurrentFolderOverride;
using testing_support::EnvironmentOverride;
using testing_support::failureOf;
using testing_support::LogTest;
using testing_support::readWholeFile;
using testing_support::ScratchFolder;
using testing_support::writeWholeFile;

// One set of UTF-8 rules: the exact conversions (support's, through the
// platform's) refuse malformed text, and validUtf8 replaces each maximal
// invalid part of it with one U+FFFD.
TEST(Utf, ConversionsAreExactAndRefuseWhatValidUtf8Replaces) {
    // Lengths at every boundary (and NUL) are covered by the round trip below; these pin the bits.
    const std::pair<std::string, std::u16string> valid[] = {
        {"\xDF\xBF", u"\u07FF"},
        {"\xE0\xA0\x80", u"\u0800"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"C:\\Users\\J\xC3\xBCrgen/\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9D\x84\x9E",
         u"C:\\Users\\J\u00FCrgen/\u65E5\u672C \U0001D11E"},
    };
    for (const auto& row : valid) {
        EXPECT_EQ(support::toUtf16(row.first), row.second) << row.first;
        EXPECT_EQ(support::toUtf8(row.second), row.first) << row.first;
        EXPECT_EQ(support::validUtf8(row.first), row.first);
    }

    const std::string r = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> malformed[] = {
        {"\x80", r},                        // continuation without lead
        {"a\xFF\xFEz", "a" + r + r + "z"},  // bytes that never lead
        {"\xC1\xBF", r + r},                // the longest overlong form of each length
        {"\xE0\x9F\xBF", r + r + r},
        {"\xF0\x8F\xBF\xBF", r + r + r + r},
        {"\xED\xA0\x80", r + r + r},  // encoded surrogates
        {"\xED\xBF\xBF", r + r + r},
        {"\xF4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
        {"\xF5\x80\x80\x80", r + r + r + r},
        {"ok\xC3", "ok" + r},  // cut short: one part
        {"\xF0\x9D\x84", r},
        {"\xE2\x28\xA1", r + "(" + r},  // a non-continuation inside
        {"\xF0\x9D\x84\x28", r + "("},
    };
    for (const auto& row : malformed) {
        EXPECT_EQ(failureOf([&] { support::toUtf16(row.first); }), "bad conversion") << row.first;
        EXPECT_EQ(support::validUtf8(row.first), row.second) << row.first;
    }
    for (const std::u16string& units :
         {std::u16string{0xD800}, std::u16string{0xD83D, u'a'}, std::u16string{0xD83D, 0xD83D}, std::u16string{0xDC00},
          std::u16string{u'a', 0xDFFF, u'b'}})
        EXPECT_EQ(failureOf([&] { support::toUtf8(units); }), "bad conversion") << units.size();
}

TEST(Utf, EveryScalarValueRoundTripsAtItsLengthAndIsValid) {
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        std::u16string units;
        if (cp < 0x10000) {
            units.push_back(static_cast<char16_t>(cp));
        } else {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        }
        std::string bytes;
        ASSERT_TRUE(platform::utf16ToUtf8(units, bytes)) << std::hex << cp;
        const std::size_t expectedLength = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        ASSERT_EQ(bytes.size(), expectedLength) << std::hex << cp;
        std::u16string back;
        ASSERT_TRUE(platform::utf8ToUtf16(bytes, back)) << std::hex << cp;
        ASSERT_EQ(back, units) << std::hex << cp;
        ASSERT_EQ(support::validUtf8(bytes), bytes) << std::hex << cp;
    }
}

// What outside text goes through before it is sent in JSON, shown or logged.
TEST(OutsideText, LongTextIsClippedAndControlsEscapedForTheLog) {
    const std::string dots = "\xE2\x80\xA6";
    const std::tuple<std::string, size_t, std::string> clipped[] = {
        {"abcdef", 6, "abcdef"},
        {"abcdef", 4, "abcd" + dots},
        {"ab\xC3\xA9", 3, "ab" + dots},  // never half a character
    };
    for (const auto& row : clipped) {
        EXPECT_EQ(support::clipText(std::get<0>(row), std::get<1>(row)), std::get<2>(row)) << std::get<0>(row);
    }

    const std::pair<std::string, std::string> escaped[] = {
        {"plain text | 100% caf\xC3\xA9", "plain text | 100% caf\xC3\xA9"},
        {"denied\r\n2026-01-01 00:00:00.000  EXMI | forged\tc\\d",
         "denied\\r\\n2026-01-01 00:00:00.000  EXMI | forged\\tc\\\\d"},
        {std::string("\x00\x1B\x7F", 3), "\\x00\\x1B\\x7F"},
    };
    for (const auto& row : escaped) EXPECT_EQ(support::escapeForLog(row.first), row.second) << row.first;
}

TEST(PercentEncoding, EveryByteFollowsItsFormsTableAndStringsEncodeBytewise) {
    const std::string unreserved = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
    const std::string uriExtra = "!#$&'()*+,/:;=?@";
    const char hex[] = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
        const std::string in(1, static_cast<char>(b));
        const std::string encoded = std::string("%") + hex[b >> 4] + hex[b & 15];
        const bool strictKeeps = b != 0 && unreserved.find(static_cast<char>(b)) != std::string::npos;
        const bool uriKeeps = strictKeeps || (b != 0 && uriExtra.find(static_cast<char>(b)) != std::string::npos);
        EXPECT_EQ(support::percentEncode(in), strictKeeps ? in : encoded) << b;
        EXPECT_EQ(support::percentEncodeUri(in), uriKeeps ? in : encoded) << b;
    }
    EXPECT_EQ(support::percentEncode("caf\xC3\xA9=1&x"), "caf%C3%A9%3D1%26x");
    EXPECT_EQ(support::percentEncodeUri("https://h/p?q=caf\xC3\xA9 #f"), "https://h/p?q=caf%C3%A9%20#f");
}

TEST(FormatUuid, CleansAndGroupsAnyNotationOf32DigitsElseFailsWithTheCleanedText) {
    // Letters beyond "f", spaces and punctuation disappear before counting.
    for (const char* text : {"{0123ABCD-4567-89AB-CDEF-0123456789AB}", "0123abcd456789abcdef0123456789ab",
                             " #0123abcd 4567 89AB cdef 0123456789ab; pqrs xyz!"})
        EXPECT_EQ(support::formatUuid(text), "0123abcd-4567-89ab-cdef-0123456789ab") << text;
    auto failure = [](const std::string& text) { return failureOf([&] { support::formatUuid(text); }); };
    EXPECT_EQ(failure("0123ABCD-4567-89AB-CDEF-0123456789A"), "invalid uuid string 0123abcd456789abcdef0123456789a");
    EXPECT_EQ(failure("0123abcd456789abcdef0123456789ab0"), "invalid uuid string 0123abcd456789abcdef0123456789ab0");
    EXPECT_EQ(failure("{not a uuid}"), "invalid uuid string ad");
}

TEST(Files, ReadGivesExactBytesAndFailsWithThePathAndExistsAndDeleteSeeFiles) {
    ScratchFolder scratch;
    const std::string binary = scratch / "th\xC3\xBCmb.jpg";
    std::string content("\xFF\xD8\r\n\0\x1A\n\xFF", 8);
    content += std::string(200000, '\x7F');  // spans several reads
    writeWholeFile(binary, content);
    std::vector<uint8_t> bytes;
    support::readFile(binary, bytes);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);

    const std::string empty = scratch / "empty";
    writeWholeFile(empty, "");
    bytes = {1, 2, 3};
    support::readFile(empty, bytes);
    EXPECT_TRUE(bytes.empty());

    const std::string missing = scratch / "missing.3mf";
    bytes = {9};
    EXPECT_EQ(failureOf([&] { support::readFile(missing, bytes); }), "could not read file: " + missing);
    EXPECT_EQ(bytes, std::vector<uint8_t>{9}) << "failed read changed the vector";
    EXPECT_EQ(failureOf([&] { support::readFile(scratch.path(), bytes); }), "could not read file: " + scratch.path());

    EXPECT_TRUE(support::deleteFile(binary));
    EXPECT_FALSE(support::fileExists(binary));
}

// The temporary folder as the system gives it, ending in its separator:
// Windows makes it a full path with backslashes.
std::string systemFolder(std::string folder) {
#ifdef _WIN32
    for (char& c : folder)
        if (c == '/') c = '\\';
    return folder + "\\";
#else
    return folder + "/";
#endif
}

// POSIX modes; Windows keeps exports private by the user's own temporary
// folder and has no modes to check.
void expectOwnerOnly(const std::string& path, std::filesystem::perms expected) {
#ifdef _WIN32
    (void)path;
    (void)expected;
#else
    EXPECT_EQ(std::filesystem::symlink_status(path).permissions() & std::filesystem::perms::all, expected) << path;
#endif
}

std::string regexQuoted(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

TEST(TempFiles, FolderIsTheSystemFolderPlusTheUsersOwnMadePrivateAndPathsAreFreshPrivateFiles) {
    using std::filesystem::perms;
    ScratchFolder scratch;
    EnvironmentOverride tmpdir(testing_support::kTempFolderVariable, scratch.path());
#ifdef _WIN32
    EXPECT_EQ(support::tempFolderName(), "Quorvane");
#else
    EXPECT_EQ(support::tempFolderName(), "Quorvane-" + std::to_string(::getuid()));
#endif
    const std::string expected = systemFolder(scratch.path()) + support::tempFolderName() + "/";
    EXPECT_EQ(support::getTempFolder(), expected);
    expectOwnerOnly(scratch / support::tempFolderName(), perms::owner_all);

    const std::string folder = regexQuoted(expected);
    const std::string id = "[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}";
    // Names are fresh: the file is made exclusively, so a repeated name fails.
    for (const char* extension : {"jpg", ".jpg"}) {
        const std::string path = support::makeTempFilePath("kalvixexport_", extension, 64);
        EXPECT_TRUE(std::regex_match(path, std::regex(folder + "kalvixexport_" + id + "\\.jpg"))) << path;
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path))) << path;
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
        expectOwnerOnly(path, perms::owner_read | perms::owner_write);
    }
    const std::string bare = support::makeTempFilePath("machine_", "", 64);
    EXPECT_TRUE(std::regex_match(bare, std::regex(folder + "machine_" + id))) << bare;
    for (int attempts : {0, -3})
        EXPECT_EQ(failureOf([&] { support::makeTempFilePath("p", "x", attempts); }),
                  "could not create temporary file path");

    tmpdir.set(scratch.path() + "/");
    EXPECT_EQ(support::getTempFolder(), expected) << "separator doubled";
    tmpdir.set(scratch.path() + "/gone");
    EXPECT_EQ(failureOf([] { support::getTempFolder(); }), "tmp filepath does not exist");
    EXPECT_FALSE(std::filesystem::exists(scratch / "gone")) << "parents created";
}

// Exports wait in the folder: a "Quorvane" that someone else may have put in
// a shared temporary folder first is never used, as they could read them.
// Each user of a machine has a folder of their own (POSIX: named with the
// user id), so one who exported first does not lock every other one out.
TEST(TempFiles, OnlyAFolderOfTheUsersOwnClosedToOthersIsTaken) {
    using std::filesystem::perms;
    enum Planted { Folder, Link, File };
    const struct {
        const char* what;
        Planted planted;
        const char* name;  // where, if not at the add-in's own folder
        perms mode;
        bool taken, posixOnly;  // links, modes and user ids: not how Windows keeps a folder private
    } cases[] = {
        {"own folder closed to others", Folder, "", perms::owner_all | perms::group_read | perms::others_exec, true,
         false},
        {"another user's folder of the shared name of old", Folder, "Quorvane", perms::all, true, true},
        {"another user id's folder", Folder, "Quorvane-4294967294", perms::all, true, true},
        {"link to a folder", Link, "", perms::none, false, true},
        {"folder others may write to", Folder, "", perms::all, false, true},
        {"folder its group may write to", Folder, "", perms::owner_all | perms::group_all, false, true},
        {"file", File, "", perms::none, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
#ifdef _WIN32
        if (c.posixOnly) continue;
#endif
        ScratchFolder scratch;
        EnvironmentOverride tmpdir(testing_support::kTempFolderVariable, scratch.path());
        const std::string entry = scratch / support::tempFolderName(), theirs = scratch / "theirs";
        const std::string at = *c.name ? scratch / c.name : entry;
        if (c.planted == Folder) {
            std::filesystem::create_directory(at);
            std::filesystem::permissions(at, c.mode);
        } else if (c.planted == Link) {
            std::filesystem::create_directory(theirs);
            std::filesystem::create_directory_symlink(theirs, at);
        } else {
            writeWholeFile(at, "");
        }
        const std::string expected = systemFolder(scratch.path()) + support::tempFolderName() + "/";
        if (c.taken) {
            EXPECT_EQ(support::getTempFolder(), expected);
            EXPECT_TRUE(testing_support::liesIn(support::makeTempFilePath("kalvixexport_", "3mf", 64), entry));
        } else {
            const std::string refused = "temporary folder is not private to this user: " + expected;
            EXPECT_EQ(failureOf([] { support::getTempFolder(); }), refused);
            EXPECT_EQ(failureOf([] { support::makeTempFilePath("kalvixexport_", "3mf", 64); }), refused);
            EXPECT_TRUE(!std::filesystem::exists(theirs) || std::filesystem::is_empty(theirs));
        }
    }
}

TEST(PathParts, FileNameAndFolderTreatBothSeparatorsAlike) {
    struct Case {
        const char *path, *stem, *folder;
    } cases[] = {
        {"C:\\a\\b.c.gcode", "b.c", "C:/a"},
        {"C:/mixed\\dir/part.3mf", "part", "C:/mixed/dir"},
        {"name.txt", "name", ""},
        {"dir.v2/Makefile", "Makefile", "dir.v2"},
        {"dir/.hidden", "", "dir"},
        {"a/b/", "", "a/b"},
        {"/top", "top", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(support::fileName(c.path, false), c.stem) << c.path;
        EXPECT_EQ(support::folderOf(c.path), c.folder) << c.path;
    }
    EXPECT_EQ(support::fileName("C:\\a\\b.c.gcode", true), "b.c.gcode");
}

using namespace std::chrono;

// Re-reads TZ as it is made and once it is gone.
struct Tzset {
    Tzset() { ::tzset(); }
    ~Tzset() { ::tzset(); }
};

// A zone far from UTC and without daylight saving, so that a time stamp
// taken in the wrong zone cannot pass; the zone of before once it is gone.
struct FixedZone {
    Tzset after;
    EnvironmentOverride tz{"TZ", "XYZ-05:30"};
    Tzset now;
};

// "YYYY-MM-DD hh:mm:ss" in the local zone, plus milliseconds.
system_clock::time_point localTimePoint(const char* text, int ms) {
    std::tm t{};
    std::istringstream(text) >> std::get_time(&t, "%Y-%m-%d %H:%M:%S");
    t.tm_isdst = 0;
    return system_clock::from_time_t(::mktime(&t)) + milliseconds(ms);
}

// Names from outside (a document's, a setup's, a project id from the page,
// a page's title as the source) never start a record, whatever they hold:
// every line after the first is indented, every other control is escaped.
TEST_F(LogTest, AppendsOneRecordPerCallAtTheLocalTimeAndOutsideTextNeverStartsOne) {
    FixedZone zone;
    EXPECT_EQ(support::formatLogTimestamp(localTimePoint("2024-02-01 13:05:07", 7)), "2024-02-01 13:05:07.007");
    EXPECT_EQ(support::formatLogTimestamp(localTimePoint("2024-02-01 13:05:07", 999) + microseconds(999)),
              "2024-02-01 13:05:07.999")
        << "microseconds are cut, not rounded into the next millisecond";
    writeWholeFile(logFile(), "earlier session\r\n");
    const std::string forged = "2026-01-01 00:00:00.000  EXMI | forged";
    const std::string controls = std::string("\x00\x0B\x0C\x1B\x7F", 5) + "\xC2\x85\xE2\x80\xA8\xE2\x80\xA9\t\\";
    const struct {
        std::string message, source, written, writtenSource;
    } rows[] = {
        {"caf\xC3\xA9 | 100%", "A::b", "caf\xC3\xA9 | 100%", "A::b"},
        {"first\nsecond line\r\nthird", "Palette::onHTMLEvent", "first\r\n    second line\r\n    third",
         "Palette::onHTMLEvent"},
        {"", "CommandBase::onExecute", "", "CommandBase::onExecute"},
        {"Setup1\r" + forged + "\r\n\n", "setupLine", "Setup1\r\n    " + forged + "\r\n    \r\n    ", "setupLine"},
        {"name " + controls, "title\r\nEXMI", "name \\x00\\x0B\\x0C\\x1B\\x7F\\u0085\\u2028\\u2029\t\\",
         "title\\x0D\\x0AEXMI"},
    };
    // The stamp's format is checked above; here it must be the time of the call.
    const std::string before = support::formatLogTimestamp(system_clock::now());
    for (const auto& row : rows) support::log(row.message, row.source);
    const std::string after = support::formatLogTimestamp(system_clock::now());

    std::string expected = "earlier session\r\n";
    for (const auto& row : rows) expected += linePattern(regexQuoted(row.writtenSource), regexQuoted(row.written));
    const std::string content = readWholeFile(logFile());
    ASSERT_TRUE(std::regex_match(content, std::regex(expected))) << content;
    const std::string stamp = content.substr(17, 23);
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
}

TEST_F(LogTest, PathFollowsAppDataOnEveryCallElseTheCurrentFolderAndNoFolderIsMade) {
    appData_.set("C:\\Users\\me\\AppData\\Roaming");
    EXPECT_EQ(support::logFilePath(), "C:\\Users\\me\\AppData\\Roaming/Quorvane/Quorvane Kalvix/EXMI-AddIns/EXMI.log");

    const std::string other = scratch_ / "Ro\xC3\xA4ming";
    std::filesystem::create_directories(testing_support::fsPath(other + "/Quorvane/Quorvane Kalvix/EXMI-AddIns"));
    appData_.set(other);
    support::log("to the other", "T::t");
    appData_.set(scratch_ / "Roaming");
    support::log("to the first", "T::t");
    EXPECT_TRUE(std::regex_match(readWholeFile(other + "/Quorvane/Quorvane Kalvix/EXMI-AddIns/EXMI.log"),
                                 std::regex(linePattern("T::t", "to the other"))));
    EXPECT_TRUE(std::regex_match(readWholeFile(logFile()), std::regex(linePattern("T::t", "to the first"))));

    // With the log's folder gone the line is lost: the folder is not made and
    // nothing goes to the current folder instead (its file is checked below).
    std::filesystem::create_directory(scratch_ / "cwd");
    CurrentFolderOverride cwd(scratch_ / "cwd");
    std::filesystem::remove_all(logFolder());
    support::log("lost", "T::t");
    EXPECT_FALSE(std::filesystem::exists(logFolder()));

    appData_.unset();
    EXPECT_EQ(support::logFilePath(), "EXMI.log");
    support::log("unset", "T::t");
    appData_.set("");
    support::log("empty", "T::t");
    EXPECT_TRUE(std::regex_match(readWholeFile(scratch_ / "cwd/EXMI.log"),
                                 std::regex(linePattern("T::t", "unset") + linePattern("T::t", "empty"))));
}

}  // namespace
