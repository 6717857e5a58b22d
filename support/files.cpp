#include "support/files.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "platform/environment.h"
#include "platform/files.h"
#include "support/ids.h"
#include "support/text.h"

namespace support {

namespace {

bool endsWithSeparator(const std::string& path) { return !path.empty() && (path.back() == '/' || path.back() == '\\'); }

std::string forwardSlashes(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string getEnvironmentVariable(const std::string& name) {
    const auto value = platform::readEnvironment(toUtf16(name));
    return value ? toUtf8(*value) : std::string();
}

bool fileExists(const std::string& path) { return platform::pathExists(toUtf16(path)); }

void readFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::unique_ptr<std::FILE, FileCloser> file(platform::openFile(toUtf16(path), platform::OpenMode::ReadBinary));
    if (!file) throw std::runtime_error("could not read file: " + path);
    std::vector<uint8_t> content;
    uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        content.insert(content.end(), chunk, chunk + got);
    // A folder opens on POSIX but fails on the first read.
    if (std::ferror(file.get())) throw std::runtime_error("could not read file: " + path);
    bytes.swap(content);
}

bool deleteFile(const std::string& path) { return platform::deleteFile(toUtf16(path)); }

std::string tempFolderName() {
    // POSIX shares one temporary folder among all users: a folder of one
    // name would belong to whoever exported first and be refused, being
    // nobody else's, to everyone after.
    const std::string user = platform::currentUserId();
    return user.empty() ? "Quorvane" : "Quorvane-" + user;
}

std::string getTempFolder() {
    std::u16string system;
    if (!platform::tempPath(system)) throw std::runtime_error("could not get temp file path");
    std::string folder = toUtf8(system);
    if (folder.empty()) return folder;
    if (!endsWithSeparator(folder)) folder += "/";
    folder += tempFolderName() + "/";
    // Exports of the user's designs wait here: on a shared system another
    // user must not have made this folder (or a link by its name) first.
    const std::u16string entry = toUtf16(folder.substr(0, folder.size() - 1));
    platform::FolderState state = platform::folderState(entry);
    if (state == platform::FolderState::Missing) {
        platform::createDirectory(entry);
        state = platform::folderState(entry);
    }
    if (state == platform::FolderState::Missing) throw std::runtime_error("tmp filepath does not exist");
    if (state != platform::FolderState::Private)
        throw std::runtime_error("temporary folder is not private to this user: " + folder);
    return folder;
}

std::string makeTempFilePath(const std::string& prefix, const std::string& extension, int maxAttempts) {
    std::string base = getTempFolder();
    if (base.empty()) throw std::runtime_error("empty temporary file base path");
    std::string suffix = extension;
    if (!suffix.empty() && suffix.front() != '.') suffix.insert(0, ".");
    if (!endsWithSeparator(base)) base += "/";
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        std::string candidate = base + prefix + formatUuid(generateUuid()) + suffix;
        // Created here, exclusively and owner-only, so that nobody can slip
        // a file or link of their own in under the name.
        if (platform::createNewPrivateFile(toUtf16(candidate))) return candidate;
    }
    throw std::runtime_error("could not create temporary file path");
}

std::string fileName(const std::string& path, bool keepExtension) {
    const std::string p = forwardSlashes(path);
    const std::size_t slash = p.rfind('/');
    std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    if (!keepExtension) {
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos) name.erase(dot);
    }
    return name;
}

std::string folderOf(const std::string& path) {
    const std::string p = forwardSlashes(path);
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

}  // namespace support
