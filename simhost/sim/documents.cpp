#include "simhost/sim/documents.h"

#include <stdexcept>

#include "simhost/impl/application_impl.h"
#include "simhost/impl/design_impl.h"
#include "simhost/impl/document_impl.h"
#include "simhost/impl/host_state.h"

namespace qrvn {
namespace sim {

namespace {

core::Ptr<impl::ApplicationImpl> application() {
    auto app = impl::HostState::instance().application();
    if (!app) throw std::logic_error("sim: the host has no application");
    return app;
}

core::Ptr<impl::DocumentImpl> implOf(const core::Ptr<core::Document>& document) {
    if (!document) throw std::invalid_argument("sim: no document");
    return core::Ptr<impl::DocumentImpl>(std::static_pointer_cast<impl::DocumentImpl>(document.shared()));
}

void fill(const core::Ptr<impl::ComponentImpl>& component, const ComponentSpec& spec) {
    for (const std::string& body : spec.bodies) component->addBRepBody(body);
    for (const std::string& mesh : spec.meshBodies) component->addMeshBody(mesh);
    for (const ComponentSpec& child : spec.children) {
        auto placed = core::Ptr<impl::ComponentImpl>(std::make_shared<impl::ComponentImpl>(child.name));
        fill(placed, child);
        component->addOccurrence(placed);
    }
}

}  // namespace

core::Ptr<kalvix::KalvixDocument> newDocument(const std::string& name) { return application()->newDocument(name); }

SavedDocument saveDocument(const core::Ptr<core::Document>& document) {
    return SavedDocument(application()->saveDocument(implOf(document)));
}

core::Ptr<kalvix::KalvixDocument> newDocumentFrom(const SavedDocument& saved, const std::string& name) {
    if (!saved.isValid()) throw std::invalid_argument("sim: not a saved document");
    auto content =
        core::Ptr<impl::DocumentImpl>(std::static_pointer_cast<impl::DocumentImpl>(saved.content().shared()));
    auto document = content->copy();
    if (!name.empty()) document->name_ = name;
    return application()->addDocument(document, false, true);
}

core::Ptr<kalvix::KalvixDocument> openDocument(const SavedDocument& saved) {
    if (!saved.isValid()) throw std::invalid_argument("sim: not a saved document");
    auto content =
        core::Ptr<impl::DocumentImpl>(std::static_pointer_cast<impl::DocumentImpl>(saved.content().shared()));
    return application()->openDocument(content);
}

bool activateDocument(const core::Ptr<core::Document>& document) { return implOf(document)->activate(); }

bool closeDocument(const core::Ptr<core::Document>& document) { return implOf(document)->close(false); }

core::Ptr<kalvix::KalvixDocument> activeDocument() { return application()->activeDocumentImpl(); }

std::vector<core::Ptr<kalvix::KalvixDocument>> openDocuments() {
    std::vector<core::Ptr<kalvix::KalvixDocument>> documents;
    for (auto& document : application()->openDocuments()) documents.push_back(document);
    return documents;
}

void setDesign(const core::Ptr<core::Document>& document, const ComponentSpec& root) {
    auto impl = implOf(document);
    auto component = core::Ptr<impl::ComponentImpl>(
        std::make_shared<impl::ComponentImpl>(root.name.empty() ? impl->design_->root_->name_ : root.name));
    fill(component, root);
    impl->design_->root_ = component;
    impl->modified_ = true;
}

}  // namespace sim
}  // namespace qrvn
