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

// A set TMPDIR (TMP on Windows), missing parents, appending, exact reads and
// a stream's missing folder: through the support layer (support_test.cpp).

namespace {

using testing_support::EnvironmentOverride;
using testing_support::ScratchFolder;
using testing_support::writeWholeFile;

std::u16string wide(const std::string& utf8) {
    std::u16string out;
    EXPECT_TRUE(platform::utf8ToUtf16(utf8, out));
    return out;
}

TEST(PlatformTempPath, IsTmpWhenTmpdirIsEmptyOrUnset) {
#ifdef _WIN32
    GTEST_SKIP() << "GetTempPathW decides";
#else
    EnvironmentOverride tmpdir("TMPDIR", "");
    for (bool set : {true, false}) {
        if (!set) tmpdir.unset();
        std::u16string path;
        ASSERT_TRUE(platform::tempPath(path));
        EXPECT_EQ(path, u"/tmp") << set;
    }
#endif
}

TEST(PlatformFiles, CreateTestAndDeleteOnlyWhatIsAskedWithNonAsciiNamesAndNeverACutPath) {
    ScratchFolder scratch;
    const std::string folder = scratch / "K\xC3\xB6rper \xE6\x97\xA5";
    EXPECT_FALSE(platform::pathExists(wide(folder)));
    ASSERT_TRUE(platform::createDirectory(wide(folder)));
    EXPECT_TRUE(platform::pathExists(wide(folder)));
    EXPECT_FALSE(platform::createDirectory(wide(folder))) << "existing folder reported as created";

    const std::string file = folder + "/t\xC3\xA9st.gcode";
    writeWholeFile(file, "x");
    EXPECT_TRUE(platform::pathExists(wide(file)));
    // Cut at the NUL, this would name the existing file.
    std::u16string withNul = wide(file);
    withNul += u'\0';
    withNul += u"ghost";
    EXPECT_FALSE(platform::pathExists(withNul));
    EXPECT_FALSE(platform::deleteFile(withNul));
    EXPECT_EQ(platform::openFile(withNul, platform::OpenMode::ReadBinary), nullptr);
    ASSERT_TRUE(platform::deleteFile(wide(file)));
    EXPECT_FALSE(platform::deleteFile(wide(file))) << "missing file reported as deleted";
    EXPECT_FALSE(platform::deleteFile(wide(folder)));
    EXPECT_TRUE(std::filesystem::is_directory(testing_support::fsPath(folder))) << "delete never removes a folder";
    EXPECT_FALSE(platform::pathExists(std::u16string()));
}

// A file may be open on another thread while the add-in starts a browser:
// no child may inherit it.
TEST(PlatformFiles, StreamsOfEitherModeAreNotInherited) {
    ScratchFolder scratch;
    for (auto mode : {platform::OpenMode::AppendBinary, platform::OpenMode::ReadBinary}) {
        std::FILE* stream = platform::openFile(wide(scratch / "log.txt"), mode);
        ASSERT_NE(stream, nullptr);
#ifdef _WIN32
        DWORD flags = 0;
        EXPECT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream))), &flags));
        EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
#else
        EXPECT_NE(::fcntl(::fileno(stream), F_GETFD) & FD_CLOEXEC, 0);
#endif
        std::fclose(stream);
    }
}

}  // namespace
