// Scripting the host's documents and designs: create, save, open, activate
// and close documents (the host fires its document events as it would for
// the user), and build a document's design from a plain description.
// UI thread only.
#pragma once

#include <string>
#include <vector>

#include "host/kalvix.h"

namespace qrvn {
namespace sim {

// A saved document: what the host would read back from the file. Opening it
// (any number of times) gives a new open document with the saved name,
// attributes, design and manufacturing data.
class SavedDocument {
public:
    SavedDocument() = default;
    explicit SavedDocument(core::Ptr<core::Base> content) : content_(std::move(content)) {}
    bool isValid() const { return static_cast<bool>(content_); }
    const core::Ptr<core::Base>& content() const { return content_; }

private:
    core::Ptr<core::Base> content_;
};

// A new design document, made active (empty name: "Untitled", "Untitled2"...).
core::Ptr<kalvix::KalvixDocument> newDocument(const std::string& name = "");
SavedDocument saveDocument(const core::Ptr<core::Document>& document);
// A new document made from a saved one (the host's "new from copy"): it
// carries the saved attributes and content but is reported as created, not
// opened.
core::Ptr<kalvix::KalvixDocument> newDocumentFrom(const SavedDocument& saved, const std::string& name = "");
core::Ptr<kalvix::KalvixDocument> openDocument(const SavedDocument& saved);
bool activateDocument(const core::Ptr<core::Document>& document);
bool closeDocument(const core::Ptr<core::Document>& document);
core::Ptr<kalvix::KalvixDocument> activeDocument();
std::vector<core::Ptr<kalvix::KalvixDocument>> openDocuments();

// A component of a design: its bodies, mesh bodies and the components placed
// in it (each child becomes one occurrence).
struct ComponentSpec {
    std::string name;
    std::vector<std::string> bodies;
    std::vector<std::string> meshBodies;
    std::vector<ComponentSpec> children;
};

// Replaces the document's design: its root component takes the given
// bodies and children; an empty name keeps the root's name.
void setDesign(const core::Ptr<core::Document>& document, const ComponentSpec& root);

}  // namespace sim
}  // namespace qrvn
