#pragma once
// Transcript of the demonstration: readable descriptions of host objects
// (the design tree, setup models, drop-down contents) and a tally of the
// outcomes the demo expects, each printed as it is checked. Main (UI)
// thread only.

#include <string>
#include <vector>

#include "host/qrvn.h"

namespace demo {

class Checks {
public:
    // Prints "[ok]" or "[MISSING]" with the text and counts a miss.
    void expect(bool holds, const std::string& what);
    int missed() const { return missed_; }
    int total() const { return total_; }

private:
    int missed_ = 0;
    int total_ = 0;
};

void heading(const std::string& title);

// Prints the component tree of a design, with each level's bodies.
void printDesign(const qrvn::core::Ptr<qrvn::kalvix::Component>& root);

// "body Housing", "mesh body Scan", "occurrence Gear:1".
std::string describeModel(const qrvn::core::Ptr<qrvn::core::Base>& model);
std::vector<std::string> describeModels(const std::vector<qrvn::core::Ptr<qrvn::core::Base>>& models);

// The items of a drop-down of the running command, "[x]" marking selected ones.
void printDropDown(const qrvn::core::Ptr<qrvn::core::DropDownCommandInput>& dropDown);

std::string join(const std::vector<std::string>& texts, const std::string& separator);

}  // namespace demo
