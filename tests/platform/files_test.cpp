#include "platform/files.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#endif

#include <filesystem>

#include "platform/utf.h"
#include "tests/support/scratch.h"

namespace {

using testing_support::EnvironmentOverride;
using testing_support::readWholeFile;
using testing_support::ScratchFolder;
using testing_support::writeWholeFile;

std::u16string wide(const std::string& utf8) {
    std::u16string out;
    EXPECT_TRUE(platform::utf8ToUtf16(utf8, out));
    return out;
}

#ifdef _WIN32
TEST(PlatformTempPath, ComesFromTmpOrElseTempWithAFinalBackslash) {
    EnvironmentOverride tmp("TMP"), temp("TEMP", "C:\\temp two");
    tmp.set("C:\\some where\\\xC3\xA9");
    std::u16string path;
    ASSERT_TRUE(platform::tempPath(path));
    EXPECT_EQ(path, wide("C:\\some where\\\xC3\xA9\\"));
    tmp.unset();
    ASSERT_TRUE(platform::tempPath(path));
    EXPECT_EQ(path, wide("C:\\temp two\\"));
}
#else
TEST(PlatformTempPath, ComesFromTmpdirOrElseTmp) {
    EnvironmentOverride tmpdir("TMPDIR");
    for (const char* value : std::initializer_list<const char*>{"/var/some where/\xC3\xA9", "", nullptr}) {
        if (value) tmpdir.set(value);
        else tmpdir.unset();
        std::u16string path;
        ASSERT_TRUE(platform::tempPath(path));
        EXPECT_EQ(path, wide(value && *value ? value : "/tmp"));
    }
}
#endif

TEST(PlatformFiles, CreateTestAndDeleteOnlyWhatIsAskedWithNonAsciiNames) {
    ScratchFolder scratch;
    const std::string folder = scratch / "K\xC3\xB6rper \xE6\x97\xA5";
    EXPECT_FALSE(platform::pathExists(wide(folder)));
    ASSERT_TRUE(platform::createDirectory(wide(folder)));
    EXPECT_TRUE(platform::pathExists(wide(folder)));
    EXPECT_FALSE(platform::createDirectory(wide(folder))) << "existing folder reported as created";
    EXPECT_FALSE(platform::createDirectory(wide(scratch / "a/b")));
    EXPECT_FALSE(std::filesystem::exists(testing_support::fsPath(scratch / "a"))) << "parents created";

    const std::string file = folder + "/t\xC3\xA9st.gcode";
    writeWholeFile(file, "x");
    EXPECT_TRUE(platform::pathExists(wide(file)));
    ASSERT_TRUE(platform::deleteFile(wide(file)));
    EXPECT_FALSE(platform::deleteFile(wide(file))) << "missing file reported as deleted";
    EXPECT_FALSE(platform::deleteFile(wide(folder)));
    EXPECT_TRUE(std::filesystem::is_directory(testing_support::fsPath(folder))) << "delete never removes a folder";
}

TEST(PlatformFiles, PathsWithNulOrBrokenUtf16AreRefusedNotTruncated) {
    ScratchFolder scratch;
    const std::string file = scratch / "real";
    writeWholeFile(file, "content");
    // Cut at the NUL, this would name the existing file.
    std::u16string withNul = wide(file);
    withNul += u'\0';
    withNul += u"ghost";
    EXPECT_FALSE(platform::pathExists(withNul));
    EXPECT_FALSE(platform::deleteFile(withNul));
    EXPECT_EQ(platform::openFile(withNul, platform::OpenMode::ReadBinary), nullptr);
    EXPECT_TRUE(std::filesystem::exists(file));

    std::u16string loneSurrogate = wide(scratch.path() + "/x");
    loneSurrogate += char16_t(0xD800);
    EXPECT_FALSE(platform::createDirectory(loneSurrogate));
    EXPECT_FALSE(platform::pathExists(std::u16string()));
}

TEST(PlatformFiles, StreamsAppendWithoutTruncatingAreNotInheritedAndNeedTheirFolder) {
    ScratchFolder scratch;
    const std::string file = scratch / "log.txt";
    writeWholeFile(file, std::string("first\0\xFF\r\n", 9));
    std::FILE* stream = platform::openFile(wide(file), platform::OpenMode::AppendBinary);
    ASSERT_NE(stream, nullptr);
    std::fputs("second\n", stream);
    std::fclose(stream);
    EXPECT_EQ(readWholeFile(file), std::string("first\0\xFF\r\nsecond\n", 16));

    stream = platform::openFile(wide(file), platform::OpenMode::ReadBinary);
    ASSERT_NE(stream, nullptr);
#ifdef _WIN32
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream))), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
#else
    EXPECT_NE(::fcntl(::fileno(stream), F_GETFD) & FD_CLOEXEC, 0);
#endif
    char buffer[32];
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, stream), 16u);
    std::fclose(stream);

    EXPECT_EQ(platform::openFile(wide(scratch / "missing/x.txt"), platform::OpenMode::AppendBinary), nullptr);
    EXPECT_FALSE(std::filesystem::exists(scratch / "missing"));
}

}  // namespace
