#include "support/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "tests/support/scratch.h"

namespace {

using testing_support::EnvironmentOverride;
using testing_support::failureOf;
using testing_support::ScratchFolder;
using testing_support::writeWholeFile;

std::string regexQuoted(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

TEST(Environment, UnsetIsEmptyAndValuesComeBackAsUtf8) {
    EnvironmentOverride var("EXMI_SUPPORT_TEST_VAR");
    var.unset();
    EXPECT_EQ(support::getEnvironmentVariable("EXMI_SUPPORT_TEST_VAR"), "");
    var.set("C:\\Users\\Zo\xC3\xAB\\AppData\\Roaming");
    EXPECT_EQ(support::getEnvironmentVariable("EXMI_SUPPORT_TEST_VAR"), "C:\\Users\\Zo\xC3\xAB\\AppData\\Roaming");
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

    EXPECT_FALSE(support::fileExists(missing));
    EXPECT_TRUE(support::fileExists(binary));
    EXPECT_TRUE(support::fileExists(scratch.path()));
    EXPECT_TRUE(support::deleteFile(binary));
    EXPECT_FALSE(support::fileExists(binary));
    EXPECT_FALSE(support::deleteFile(binary));
}

TEST(TempFiles, FolderIsTheSystemFolderPlusQuorvaneAndPathsAreFreshAndNotCreated) {
    ScratchFolder scratch;
    EnvironmentOverride tmpdir("TMPDIR", scratch.path());
    const std::string expected = scratch.path() + "/Quorvane/";
    EXPECT_EQ(support::getTempFolder(), expected);
    EXPECT_TRUE(std::filesystem::is_directory(expected));
    EXPECT_EQ(support::getTempFolder(), expected) << "existing folder";

    const std::string folder = regexQuoted(expected);
    const std::string id = "[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}";
    std::set<std::string> paths;
    for (const char* extension : {"jpg", ".jpg"}) {
        const std::string path = support::makeTempFilePath("kalvixexport_", extension, 64);
        EXPECT_TRUE(std::regex_match(path, std::regex(folder + "kalvixexport_" + id + "\\.jpg"))) << path;
        EXPECT_FALSE(std::filesystem::exists(path));
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

TEST(PathParts, FileNameAndFolderTreatBothSeparatorsAlike) {
    EXPECT_EQ(support::fileName("C:\\a\\b.c.gcode", false), "b.c");
    EXPECT_EQ(support::fileName("C:\\a\\b.c.gcode", true), "b.c.gcode");
    EXPECT_EQ(support::folderOf("C:\\a\\b.c.gcode"), "C:/a");
    EXPECT_EQ(support::fileName("C:/mixed\\dir/part.3mf", false), "part");
    EXPECT_EQ(support::fileName("name.txt", false), "name");
    EXPECT_EQ(support::folderOf("name.txt"), "");
    EXPECT_EQ(support::fileName("dir.v2/Makefile", false), "Makefile") << "dot of the folder used";
    EXPECT_EQ(support::fileName("dir/.hidden", false), "");
    EXPECT_EQ(support::fileName("a/b/", true), "");
    EXPECT_EQ(support::folderOf("a/b/"), "a/b");
    EXPECT_EQ(support::folderOf("/top"), "");
    EXPECT_EQ(support::fileName("", false), "");
    EXPECT_EQ(support::folderOf(""), "");
}

}  // namespace
