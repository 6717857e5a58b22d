#include "simhost/impl/design_impl.h"

#include "simhost/impl/common.h"
#include "simhost/impl/document_impl.h"

namespace qrvn {
namespace impl {

namespace {

class BRepBodiesView : public kalvix::BRepBodies {
public:
    explicit BRepBodiesView(core::Ptr<ComponentImpl> owner) : owner_(std::move(owner)) {}
    size_t count() override { return owner_->bodies_.size(); }
    core::Ptr<kalvix::BRepBody> item(size_t index) override { return itemAt(owner_->bodies_, index); }

private:
    core::Ptr<ComponentImpl> owner_;
};

class MeshBodiesView : public kalvix::MeshBodies {
public:
    explicit MeshBodiesView(core::Ptr<ComponentImpl> owner) : owner_(std::move(owner)) {}
    size_t count() override { return owner_->meshes_.size(); }
    core::Ptr<kalvix::MeshBody> item(size_t index) override { return itemAt(owner_->meshes_, index); }

private:
    core::Ptr<ComponentImpl> owner_;
};

class OccurrencesView : public kalvix::Occurrences {
public:
    explicit OccurrencesView(core::Ptr<ComponentImpl> owner) : owner_(std::move(owner)) {}
    size_t count() override { return owner_->occurrences_.size(); }
    core::Ptr<kalvix::Occurrence> item(size_t index) override { return itemAt(owner_->occurrences_, index); }
    core::Ptr<kalvix::Occurrence> itemByName(const std::string& name) override {
        for (auto& occurrence : owner_->occurrences_) {
            if (occurrence->name_ == name) return occurrence;
        }
        return core::Ptr<kalvix::Occurrence>();
    }

private:
    core::Ptr<ComponentImpl> owner_;
};

class OccurrenceListView : public kalvix::OccurrenceList {
public:
    explicit OccurrenceListView(core::Ptr<ComponentImpl> owner) : owner_(std::move(owner)) {}
    size_t count() override { return owner_->occurrences_.size(); }
    core::Ptr<kalvix::Occurrence> item(size_t index) override { return itemAt(owner_->occurrences_, index); }

private:
    core::Ptr<ComponentImpl> owner_;
};

}  // namespace

core::Ptr<kalvix::Component> BRepBodyImpl::parentComponent() { return lock(parent_); }
core::Ptr<kalvix::Component> MeshBodyImpl::parentComponent() { return lock(parent_); }

core::Ptr<kalvix::Component> OccurrenceImpl::component() { return component_; }

core::Ptr<kalvix::BRepBodies> OccurrenceImpl::bRepBodies() { return make<BRepBodiesView>(component_); }

core::Ptr<kalvix::OccurrenceList> OccurrenceImpl::childOccurrences() { return make<OccurrenceListView>(component_); }

core::Ptr<kalvix::BRepBodies> ComponentImpl::bRepBodies() { return make<BRepBodiesView>(self(this)); }
core::Ptr<kalvix::MeshBodies> ComponentImpl::meshBodies() { return make<MeshBodiesView>(self(this)); }
core::Ptr<kalvix::Occurrences> ComponentImpl::occurrences() { return make<OccurrencesView>(self(this)); }

core::Ptr<BRepBodyImpl> ComponentImpl::addBRepBody(const std::string& name, bool solid) {
    auto body = make<BRepBodyImpl>(name, solid);
    body->parent_ = weak(self(this));
    bodies_.push_back(body);
    return body;
}

core::Ptr<MeshBodyImpl> ComponentImpl::addMeshBody(const std::string& name) {
    auto body = make<MeshBodyImpl>(name);
    body->parent_ = weak(self(this));
    meshes_.push_back(body);
    return body;
}

core::Ptr<OccurrenceImpl> ComponentImpl::addOccurrence(const core::Ptr<ComponentImpl>& component) {
    size_t number = 1;
    for (auto& occurrence : occurrences_) {
        if (occurrence->component_ == component) ++number;
    }
    auto occurrence = make<OccurrenceImpl>(component->name_ + ":" + std::to_string(number), component);
    occurrences_.push_back(occurrence);
    return occurrence;
}

core::Ptr<ComponentImpl> ComponentImpl::clone(CloneMap& map) const {
    auto found = map.find(this);
    if (found != map.end()) return found->second.query<ComponentImpl>();
    auto copy = make<ComponentImpl>(name_);
    map[this] = copy;
    for (auto& body : bodies_) map[body.get()] = copy->addBRepBody(body->name_, body->solid_);
    for (auto& mesh : meshes_) map[mesh.get()] = copy->addMeshBody(mesh->name_);
    for (auto& occurrence : occurrences_) {
        auto placed = make<OccurrenceImpl>(occurrence->name_, occurrence->component_->clone(map));
        copy->occurrences_.push_back(placed);
        map[occurrence.get()] = placed;
    }
    return copy;
}

size_t ComponentImpl::totalBodyCount() const {
    size_t total = bodies_.size() + meshes_.size();
    for (auto& occurrence : occurrences_) total += occurrence->component_->totalBodyCount();
    return total;
}

core::Ptr<core::Document> DesignImpl::parentDocument() { return lock(document_); }

}  // namespace impl
}  // namespace qrvn
