#pragma once
// The cloud library's project records as the rest of the add-in sees them.
// Immutable once built on the UI thread from an API answer; shared with the
// palette, which turns a list into the page's JSON text.

#include <memory>
#include <string>
#include <vector>

namespace EXMIImpl {

class CStratavoxFabriqoProject {
public:
    CStratavoxFabriqoProject(std::string projectId, std::string projectName, std::string projectDescription)
        : id(std::move(projectId)), name(std::move(projectName)), description(std::move(projectDescription)) {}

    const std::string id;           // "library_project_id"
    const std::string name;         // "display_name"
    const std::string description;  // "description", empty when absent
};

class CStratavoxFabriqoProjectList {
public:
    // In the order of the answer; duplicates are kept.
    std::vector<std::shared_ptr<CStratavoxFabriqoProject>> projects;

    // Compact JSON array of {"projectName","projectDescription","projectID"}.
    std::string toJson() const;
};

}  // namespace EXMIImpl
