#include "emulator/project_store.h"

#include "emulator/crypto.h"

namespace emulator {

Project ProjectStore::create(const std::string& name, const std::string& description) {
    std::string hex = randomToken(16);
    Project project;
    project.id = hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" +
                 hex.substr(20, 12);
    project.name = name;
    project.description = description;
    std::lock_guard<std::mutex> lock(mutex_);
    projects_.push_back(project);
    return project;
}

bool ProjectStore::find(const std::string& id, Project& project) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& p : projects_) {
        if (p.id == id) {
            project = p;
            return true;
        }
    }
    return false;
}

bool ProjectStore::exists(const std::string& id) const {
    Project ignored;
    return find(id, ignored);
}

bool ProjectStore::update(const std::string& id, const std::string* name, const std::string* description,
                          const Project& thumbnail, Project& updated) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& p : projects_) {
        if (p.id != id) continue;
        if (name != nullptr) p.name = *name;
        if (description != nullptr) p.description = *description;
        p.thumbnailContentType = thumbnail.thumbnailContentType;
        p.thumbnailSize = thumbnail.thumbnailSize;
        p.thumbnailSha256 = thumbnail.thumbnailSha256;
        p.thumbnailWidth = thumbnail.thumbnailWidth;
        p.thumbnailHeight = thumbnail.thumbnailHeight;
        updated = p;
        return true;
    }
    return false;
}

std::vector<Project> ProjectStore::all() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return projects_;
}

}  // namespace emulator
