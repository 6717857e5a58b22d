#pragma once
// What the cloud emulator holds at the end: its projects (with thumbnail)
// and the files stored in them, read from the emulator's state JSON (its
// admin address while it runs, or the --state-file it writes when it
// stops) and printed as a readable table. Pure functions; any thread.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace demo {

struct HeldThumbnail {
    bool present = false;
    std::string contentType;
    std::uint64_t size = 0;
    std::string sha256;
    int width = 0;
    int height = 0;
};

struct HeldProject {
    std::string id;
    std::string name;
    std::string description;
    HeldThumbnail thumbnail;
};

struct HeldFile {
    std::string name;
    std::string kind;  // "file" (a design) or "job" (a toolpath)
    std::string id;
    std::string projectId;
    std::string contentType;
    std::uint64_t size = 0;
    std::string sha256;
    std::string origin;
};

struct Holdings {
    std::vector<HeldProject> projects;
    std::vector<HeldFile> files;

    const HeldProject* project(const std::string& id) const;
    // Files of one project, in the order they were stored.
    std::vector<HeldFile> filesOf(const std::string& projectId) const;
};

// False, with a reason in `error`, when the text is not the emulator's
// state document.
bool parseHoldings(const std::string& json, Holdings& holdings, std::string& error);

// Each project with its thumbnail, then its files with size, content type
// and SHA-256; files of unknown projects last.
void printHoldings(std::ostream& out, const Holdings& holdings, const std::string& indent);

}  // namespace demo
