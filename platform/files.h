#pragma once
// File-system calls of the operating system: the temporary folder, folder
// creation, existence tests, deletion and opening a file as a C stream.
//
// Every path crosses in UTF-16, the form the wide Windows calls take; the
// POSIX branch converts to UTF-8 itself. A path that is not valid UTF-16
// or that contains a NUL character is refused (the call reports failure)
// instead of being cut short at the NUL and naming a different file.
// Stateless; safe on any thread.

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// The system's folder for temporary files: GetTempPathW on Windows (with a
// trailing separator), TMPDIR or else "/tmp" on POSIX. False when the
// platform reports none.
bool tempPath(std::u16string& out);

// Creates one folder (not its parents) with default (Windows) or owner-only
// (POSIX) access. False when it was not created, also when it existed.
bool createDirectory(const std::u16string& path);

// True when a file or folder exists under the path.
bool pathExists(const std::u16string& path);

enum class FolderState {
    Missing,     // nothing under the path
    Private,     // a folder only its owner, the current user, can change
    NotPrivate,  // anything else: a file, a symbolic link, another user's
                 // folder, or one that others may write to
};

// Whether the folder (given without a trailing separator) is one the
// current user alone controls. POSIX looks at the entry itself, never
// following a symbolic link; Windows, whose per-user temporary folder is
// private already, only asks whether it exists.
FolderState folderState(const std::u16string& path);

// Creates a new, empty file that only its owner can read and write; false
// when anything already exists under the path (a symbolic link included)
// or it cannot be created.
bool createNewPrivateFile(const std::u16string& path);

// Deletes a file (never a folder). False when nothing was deleted.
bool deleteFile(const std::u16string& path);

enum class OpenMode {
    ReadBinary,    // existing file, bytes unchanged
    AppendBinary,  // created when missing (its folder is not), writes go to the end
};

// Opens a file as a C stream that other readers and writers may share and
// that child processes do not inherit. Returns nullptr on failure; the
// caller closes the stream with std::fclose.
std::FILE* openFile(const std::u16string& path, OpenMode mode);

// The size of an open stream's file, which must be a regular file; false
// for anything else (a folder, a pipe) and when the system cannot tell.
bool regularFileSize(std::FILE* file, uint64_t& size);

}  // namespace platform
