#pragma once
// What the add-in asked the palette's page to show: its messages read back
// from the simulated host, their JSON members, the project list they carry
// and one readable line for each. PageWatcher remembers which palette
// window it read and how many of its messages it has already handed out.
// Main (UI) thread only.

#include <string>
#include <utility>
#include <vector>

#include "host/core.h"

namespace demo {

struct PageMessage {
    std::string action;
    bool isObject = false;                                     // the data was a JSON object
    std::vector<std::pair<std::string, std::string>> members;  // string members, in text order

    std::string get(const std::string& key) const;
    bool has(const std::string& key) const;
};

PageMessage readPageMessage(const std::string& action, const std::string& data);

struct ListedProject {
    std::string name;
    std::string description;
    std::string id;
};

// The "projectlist" member: percent-encoded JSON array of objects with
// "projectName", "projectDescription" and "projectID". False when it does
// not decode to such an array.
bool decodeProjectList(const std::string& encoded, std::vector<ListedProject>& projects);

// "navigate -> successscreen (project 12)", "projectlist: 2 projects ...".
std::string describe(const PageMessage& message);

// The screen a "navigate" message asks for ("" for other messages).
std::string screenOf(const PageMessage& message);

class PageWatcher {
public:
    explicit PageWatcher(std::string paletteId) : paletteId_(std::move(paletteId)) {}
    // Messages sent since the last call (all of them after the palette was
    // recreated).
    std::vector<PageMessage> takeNew();
    // Every message handed out so far.
    const std::vector<PageMessage>& seen() const { return seen_; }

private:
    std::string paletteId_;
    // The window whose messages were counted; held so that a new window can
    // never be mistaken for it.
    qrvn::core::Ptr<qrvn::core::Palette> window_;
    size_t taken_ = 0;
    std::vector<PageMessage> seen_;
};

}  // namespace demo
