#include "platform/files.h"

#ifdef _WIN32
// windows.h first: the shell headers build on its macros.
#include <windows.h>

#include <share.h>
#include <shlwapi.h>
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <vector>

#include "platform/utf.h"

namespace platform {

namespace {

bool hasNul(const std::u16string& s) { return s.find(u'\0') != std::u16string::npos; }

}  // namespace

#ifdef _WIN32

namespace {

const wchar_t* wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

bool usablePath(const std::u16string& path) {
    std::string ignored;
    return !path.empty() && !hasNul(path) && utf16ToUtf8(path, ignored);
}

}  // namespace

bool tempPath(std::u16string& out) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length > buffer.size()) {
        // The buffer was too small; `length` is the size needed.
        buffer.resize(length + 1);
        length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (length == 0 || length > buffer.size()) return false;
    out.assign(reinterpret_cast<const char16_t*>(buffer.data()), length);
    return true;
}

bool createDirectory(const std::u16string& path) {
    if (!usablePath(path)) return false;
    return CreateDirectoryW(wide(path), nullptr) != 0;
}

bool pathExists(const std::u16string& path) {
    if (!usablePath(path)) return false;
    return PathFileExistsW(wide(path)) != FALSE;
}

bool deleteFile(const std::u16string& path) {
    if (!usablePath(path)) return false;
    return DeleteFileW(wide(path)) != 0;
}

FolderState folderState(const std::u16string& path) {
    if (!usablePath(path)) return FolderState::Missing;
    const DWORD attributes = GetFileAttributesW(wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return FolderState::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FolderState::Private : FolderState::NotPrivate;
}

bool createNewPrivateFile(const std::u16string& path) {
    if (!usablePath(path)) return false;
    const HANDLE file = CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

std::FILE* openFile(const std::u16string& path, OpenMode mode) {
    if (!usablePath(path)) return nullptr;
    // "N": not inherited by child processes; _SH_DENYNO: shared with other
    // readers and writers.
    const wchar_t* flags = mode == OpenMode::ReadBinary ? L"rbN" : L"abN";
    return _wfsopen(wide(path), flags, _SH_DENYNO);
}

#else  // POSIX

namespace {

// UTF-8 form for the POSIX calls; false for paths no call should see.
bool narrowPath(const std::u16string& path, std::string& out) {
    return !path.empty() && !hasNul(path) && utf16ToUtf8(path, out);
}

}  // namespace

bool tempPath(std::u16string& out) {
    const char* env = std::getenv("TMPDIR");
    const std::string folder = env != nullptr && *env != '\0' ? env : "/tmp";
    return utf8ToUtf16(folder, out);
}

bool createDirectory(const std::u16string& path) {
    std::string p;
    if (!narrowPath(path, p)) return false;
    // Temporary exports hold the user's designs: keep them private.
    return ::mkdir(p.c_str(), 0700) == 0;
}

bool pathExists(const std::u16string& path) {
    std::string p;
    if (!narrowPath(path, p)) return false;
    struct stat info;
    return ::stat(p.c_str(), &info) == 0;
}

bool deleteFile(const std::u16string& path) {
    std::string p;
    if (!narrowPath(path, p)) return false;
    return ::unlink(p.c_str()) == 0;
}

FolderState folderState(const std::u16string& path) {
    std::string p;
    if (!narrowPath(path, p)) return FolderState::Missing;
    struct stat info;
    if (::lstat(p.c_str(), &info) != 0) return errno == ENOENT ? FolderState::Missing : FolderState::NotPrivate;
    const bool ownFolder = S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
    return ownFolder && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 ? FolderState::Private : FolderState::NotPrivate;
}

bool createNewPrivateFile(const std::u16string& path) {
    std::string p;
    if (!narrowPath(path, p)) return false;
    int fd;
    do {
        fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::FILE* openFile(const std::u16string& path, OpenMode mode) {
    std::string p;
    if (!narrowPath(path, p)) return nullptr;
    const int flags = mode == OpenMode::ReadBinary ? O_RDONLY | O_CLOEXEC : O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC;
    int fd;
    do {
        fd = ::open(p.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    std::FILE* stream = ::fdopen(fd, mode == OpenMode::ReadBinary ? "rb" : "ab");
    if (stream == nullptr) ::close(fd);
    return stream;
}

#endif

bool regularFileSize(std::FILE* file, uint64_t& size) {
    if (file == nullptr) return false;
#ifdef _WIN32
    struct _stat64 info;
    if (_fstat64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return false;
#else
    struct stat info;
    if (::fstat(::fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return false;
#endif
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

}  // namespace platform
