#pragma once
// ProjectStore: the cloud library's projects (one shared library; the
// emulator does not separate users) and their thumbnails.
//
// Owned by the emulator; used by the server's worker threads and the test
// thread at once, so every member locks the store's mutex.

#include "emulator/emulator.h"

#include <mutex>
#include <string>
#include <vector>

namespace emulator {

class ProjectStore {
public:
    // Returns the new project with its id (8-4-4-4-12 lower-case hex).
    Project create(const std::string& name, const std::string& description);
    bool find(const std::string& id, Project& project) const;
    bool exists(const std::string& id) const;
    // Replaces name/description when given (non-null) and the thumbnail.
    bool update(const std::string& id, const std::string* name, const std::string* description,
                const Project& thumbnail, Project& updated);
    std::vector<Project> all() const;

private:
    mutable std::mutex mutex_;
    std::vector<Project> projects_;  // in creation order
};

}  // namespace emulator
