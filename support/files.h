#pragma once
// Environment, file and temporary-path helpers on UTF-8 paths.
//
// Paths are handed to the platform layer in UTF-16. Both "/" and "\\" are
// taken as separators by the path helpers, since host paths on Windows
// mix them. No state of their own; safe on any thread.

#include <cstdint>
#include <string>
#include <vector>

namespace support {

// The variable's value as UTF-8, or empty text when it is not set.
std::string getEnvironmentVariable(const std::string& name);

// True when a file or folder exists under the path.
bool fileExists(const std::string& path);

// Replaces `bytes` with the file's exact content. Fails with
// std::runtime_error "could not read file: " + path.
void readFile(const std::string& path, std::vector<uint8_t>& bytes);

// Deletes a file; false when nothing was deleted. Used for temporary files.
bool deleteFile(const std::string& path);

// The name of the add-in's folder in the system's temporary folder:
// "Quorvane-" + the user id on POSIX, where that folder is shared by every
// user, "Quorvane" on Windows, where it is the user's own.
std::string tempFolderName();

// The add-in's temporary folder, the system's one + tempFolderName() + "/", created
// (owner-only) when missing; always ends in "/". Empty when the system
// reports an empty folder. Fails with "could not get temp file path",
// "tmp filepath does not exist", or, when the folder is not the user's own
// real folder closed to others (POSIX), "temporary folder is not private to
// this user: " + the folder.
std::string getTempFolder();

// A new file in the temporary folder, created empty with owner-only access:
// prefix + hyphenated random identifier + extension ("." added when the
// extension lacks it). Fails as getTempFolder does, with
// "empty temporary file base path" or, after `maxAttempts` taken names,
// "could not create temporary file path".
std::string makeTempFilePath(const std::string& prefix, const std::string& extension, int maxAttempts);

// The last component of the path, cut at its last "." unless
// `keepExtension` is set.
std::string fileName(const std::string& path, bool keepExtension);

// The path before its last separator ("\\" turned into "/"); empty when
// there is none.
std::string folderOf(const std::string& path);

}  // namespace support
