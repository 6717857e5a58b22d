// Single-threaded support code: the environment, files and paths, text
// conversion, percent encoding, identifiers and the log.
#include <gtest/gtest.h>
#include <time.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <tuple>
#include <utility>

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

TEST(TextConversion, ExactBothWaysAndBadConversionOnMalformedInput) {
    EXPECT_EQ(support::toUtf16("Gr\xC3\xBC\xC3\x9F \xF0\x9F\x96\xA8"), u"Gr\u00FC\u00DF \U0001F5A8");
    EXPECT_EQ(support::toUtf8(u"Gr\u00FC\u00DF \U0001F5A8"), "Gr\xC3\xBC\xC3\x9F \xF0\x9F\x96\xA8");
    EXPECT_EQ(failureOf([] { support::toUtf16("abc\xFF"); }), "bad conversion");
    EXPECT_EQ(failureOf([] { support::toUtf8(std::u16string{u'a', 0xDC00}); }), "bad conversion");
}

// What outside text goes through before it is sent in JSON, shown or logged.
TEST(OutsideText, InvalidUtf8IsReplacedLongTextClippedAndControlsEscapedForTheLog) {
    const std::string fffd = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> valid[] = {
        {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},  // valid text unchanged
        {"a\xFF\xFE"
         "b",
         "a" + fffd + fffd + "b"},             // bytes never valid
        {"\xC0\xAF", fffd + fffd},             // overlong
        {"\xED\xA0\x80", fffd + fffd + fffd},  // encoded surrogate
        {"x\xE2\x82", "x" + fffd},             // cut short: one part
        {"\xF0\x9F\x98z", fffd + "z"},
        {"\x80", fffd},
    };
    for (const auto& row : valid) EXPECT_EQ(support::validUtf8(row.first), row.second) << row.first;

    const std::string dots = "\xE2\x80\xA6";
    const std::tuple<std::string, size_t, std::string> clipped[] = {
        {"abcdef", 6, "abcdef"},
        {"abcdef", 4, "abcd" + dots},
        {"ab\xC3\xA9", 3, "ab" + dots},  // never half a character
        {"", 0, ""},
    };
    for (const auto& row : clipped) {
        EXPECT_EQ(support::clipText(std::get<0>(row), std::get<1>(row)), std::get<2>(row)) << std::get<0>(row);
    }

    const std::pair<std::string, std::string> escaped[] = {
        {"plain text | 100%", "plain text | 100%"},
        {"denied\r\n2026-01-01 00:00:00.000  EXMI | forged", "denied\\r\\n2026-01-01 00:00:00.000  EXMI | forged"},
        {"a\nb\tc\\d", "a\\nb\\tc\\\\d"},
        {std::string("\x00\x1B\x7F", 3), "\\x00\\x1B\\x7F"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},
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

std::string regexQuoted(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
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

TEST(TempFiles, FolderIsTheSystemFolderPlusTheUsersOwnMadePrivateAndPathsAreFreshPrivateFiles) {
    using std::filesystem::perms;
    ScratchFolder scratch;
    EnvironmentOverride tmpdir(testing_support::kTempFolderVariable, scratch.path());
    const std::string expected = systemFolder(scratch.path()) + support::tempFolderName() + "/";
    EXPECT_EQ(support::getTempFolder(), expected);
    EXPECT_TRUE(std::filesystem::is_directory(expected));
    expectOwnerOnly(scratch / support::tempFolderName(), perms::owner_all);

    const std::string folder = regexQuoted(expected);
    const std::string id = "[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}";
    std::set<std::string> paths;
    for (const char* extension : {"jpg", ".jpg"}) {
        const std::string path = support::makeTempFilePath("kalvixexport_", extension, 64);
        EXPECT_TRUE(std::regex_match(path, std::regex(folder + "kalvixexport_" + id + "\\.jpg"))) << path;
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path))) << path;
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
        expectOwnerOnly(path, perms::owner_read | perms::owner_write);
        paths.insert(path);
    }
    EXPECT_EQ(paths.size(), 2u);
    const std::string bare = support::makeTempFilePath("machine_", "", 64);
    EXPECT_TRUE(std::regex_match(bare, std::regex(folder + "machine_" + id))) << bare;
    for (int attempts : {0, -3})
        EXPECT_EQ(failureOf([&] { support::makeTempFilePath("p", "x", attempts); }),
                  "could not create temporary file path");

    tmpdir.set(scratch.path() + "/");
    EXPECT_EQ(support::getTempFolder(), expected) << "separator doubled";
    tmpdir.set(scratch.path() + "/gone");
    EXPECT_EQ(failureOf([] { support::getTempFolder(); }), "tmp filepath does not exist");
    EXPECT_FALSE(std::filesystem::exists(scratch / "gone"));
}

// A "Quorvane" that someone else may have put in a shared temporary folder
// first is never used: exports would land where they can read them.
TEST(TempFiles, AFolderThatIsNotTheUsersOwnIsRefusedWithItsName) {
    using std::filesystem::perms;
    const struct {
        const char* what;
        std::function<void(const std::string& entry, const std::string& elsewhere)> plant;
        bool posixOnly;  // links and modes: not how Windows keeps a folder private
    } cases[] = {
        {"link to a folder",
         [](const std::string& entry, const std::string& elsewhere) {
             std::filesystem::create_directory(elsewhere);
             std::filesystem::create_directory_symlink(elsewhere, entry);
         },
         true},
        {"folder others may write to",
         [](const std::string& entry, const std::string&) {
             std::filesystem::create_directory(entry);
             std::filesystem::permissions(entry, perms::all);
         },
         true},
        {"folder its group may write to",
         [](const std::string& entry, const std::string&) {
             std::filesystem::create_directory(entry);
             std::filesystem::permissions(entry, perms::owner_all | perms::group_all);
         },
         true},
        {"file", [](const std::string& entry, const std::string&) { writeWholeFile(entry, ""); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
#ifdef _WIN32
        if (c.posixOnly) continue;
#endif
        ScratchFolder scratch;
        EnvironmentOverride tmpdir(testing_support::kTempFolderVariable, scratch.path());
        c.plant(scratch / support::tempFolderName(), scratch / "theirs");
        const std::string expected = "temporary folder is not private to this user: " + systemFolder(scratch.path()) +
                                     support::tempFolderName() + "/";
        EXPECT_EQ(failureOf([] { support::getTempFolder(); }), expected);
        EXPECT_EQ(failureOf([] { support::makeTempFilePath("kalvixexport_", "3mf", 64); }), expected);
        if (std::filesystem::exists(scratch / "theirs")) {
            EXPECT_TRUE(std::filesystem::is_empty(scratch / "theirs"));
        }
    }
    // The user's own folder, closed to others, is taken as it is.
    ScratchFolder scratch;
    EnvironmentOverride tmpdir(testing_support::kTempFolderVariable, scratch.path());
    const std::string own = scratch / support::tempFolderName();
    std::filesystem::create_directory(own);
    std::filesystem::permissions(own, perms::owner_all | perms::group_read | perms::others_exec);
    EXPECT_EQ(support::getTempFolder(), systemFolder(scratch.path()) + support::tempFolderName() + "/");
}

// Each user of a machine has a folder of their own (POSIX: named with the
// user id), so one who exported first does not lock every other one out.
TEST(TempFiles, AnotherUsersFolderDoesNotStandInTheWay) {
#ifdef _WIN32
    GTEST_SKIP() << "the system's temporary folder is the user's own";
#else
    ScratchFolder scratch;
    EnvironmentOverride tmpdir(testing_support::kTempFolderVariable, scratch.path());
    // What another user's export left: the shared name of old, theirs,
    // and a folder named for another user id.
    for (const char* theirs : {"Quorvane", "Quorvane-4294967294"}) {
        std::filesystem::create_directory(scratch / theirs);
        std::filesystem::permissions(scratch / theirs, std::filesystem::perms::all);
    }
    const std::string folder = support::getTempFolder();
    EXPECT_EQ(folder, scratch.path() + "/Quorvane-" + std::to_string(::getuid()) + "/");
    EXPECT_EQ(support::folderOf(support::makeTempFilePath("kalvixexport_", "3mf", 64)) + "/", folder);
#endif
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

std::set<std::string> treeOf(const std::string& folder) {
    std::set<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        entries.insert(entry.path().string());
    return entries;
}

TEST(LogTimestamp, LocalTimeWithZeroPaddedMilliseconds) {
    FixedZone zone;
    EXPECT_EQ(support::formatLogTimestamp(localTimePoint(2024, 2, 1, 13, 5, 7, 7)), "2024-02-01 13:05:07.007");
    EXPECT_EQ(support::formatLogTimestamp(localTimePoint(2024, 2, 1, 13, 5, 7, 999) + microseconds(999)),
              "2024-02-01 13:05:07.999")
        << "microseconds are cut, not rounded into the next millisecond";
}

TEST_F(LogTest, AppendsOneLinePerCallAtTheCurrentLocalTimeEveryLineEndingInCrLf) {
    FixedZone zone;
    writeWholeFile(logFile(), "earlier session\r\n");
    // The stamp format itself is checked above; here it must be the time of the call.
    const std::string before = support::formatLogTimestamp(system_clock::now());
    support::log("Failed to create machine: no setup", "EXMIimpl::handlePotentialNewMachine");
    const std::string after = support::formatLogTimestamp(system_clock::now());
    support::log("first\nsecond line\r\nthird", "Palette::onHTMLEvent");
    support::log("", "CommandBase::onExecute");
    support::log("caf\xC3\xA9 | 100%", "A::b");

    const std::string content = readWholeFile(logFile());
    const std::regex expected("earlier session\r\n" +
                              linePattern("EXMIimpl::handlePotentialNewMachine", "Failed to create machine: no setup") +
                              linePattern("Palette::onHTMLEvent", "first\r\n    second line\r\n    third") +
                              linePattern("CommandBase::onExecute", "") + linePattern("A::b", "caf\xC3\xA9 \\| 100%"));
    ASSERT_TRUE(std::regex_match(content, expected)) << content;
    const std::string stamp = content.substr(17, 23);
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
}

// Names from outside (a document's, a setup's, a project id from the page,
// a page's title as the source) never start a record, whatever they hold:
// every line after the first is indented, every other control is escaped.
TEST_F(LogTest, OutsideTextNeverStartsARecord) {
    const std::string forged = "2026-01-01 00:00:00.000  EXMI | forged";
    const std::string controls = std::string("\x00\x0B\x0C\x1B\x7F", 5) + "\xC2\x85\xE2\x80\xA8\xE2\x80\xA9\t\\";
    const std::string escapedControls = "\\x00\\x0B\\x0C\\x1B\\x7F\\u0085\\u2028\\u2029\t\\";
    const struct {
        std::string message, source, written;
    } rows[] = {
        {"Document activated: a\n" + forged, "DocumentActivatedHandler::safeNotify",
         "Document activated: a\r\n    " + forged},
        {"Setup1\r" + forged + "\r\n\n", "setupLine", "Setup1\r\n    " + forged + "\r\n    \r\n    "},
        {"could not open https://w.test/project/p\r\n" + forged, "CStratavoxFabriqoConnector::openWebApp",
         "could not open https://w.test/project/p\r\n    " + forged},
        {"name " + controls, "title\r\nEXMI", "name " + escapedControls},
    };
    for (const auto& row : rows) support::log(row.message, row.source);
    const std::string content = readWholeFile(logFile());
    const std::regex stamp(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}  .*)");
    size_t records = 0, at = 0;
    while (at < content.size()) {
        const size_t end = content.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        const std::string line = content.substr(at, end - at);
        EXPECT_EQ(line.find_first_of(std::string("\r\n\x0B\x0C\x00", 5)), std::string::npos) << line;
        if (std::regex_match(line, stamp)) {
            ASSERT_LT(records, std::size(rows)) << line;
            EXPECT_EQ(line.substr(25, line.find(" | ") - 25),
                      rows[records].source == "title\r\nEXMI" ? "title\\x0D\\x0AEXMI" : rows[records].source);
            EXPECT_EQ(content.substr(at + line.find(" | ") + 3, rows[records].written.size() + 2),
                      rows[records].written + "\r\n");
            ++records;
        } else {
            EXPECT_EQ(line.substr(0, 4), "    ") << line;
        }
        at = end + 2;
    }
    EXPECT_EQ(records, std::size(rows));
}

TEST_F(LogTest, PathFollowsAppDataOnEveryCallElseTheCurrentFolder) {
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
