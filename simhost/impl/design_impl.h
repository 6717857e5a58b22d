// The simulated design: components with B-rep bodies, mesh bodies and placed
// occurrences of other components. A document's design owns its root
// component; components own their bodies and occurrences, an occurrence
// holds the component it places. Collections are live views made per call.
// clone() copies a whole tree (used by save/open and manufacturing models)
// and reports which new object stands for which old one.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/kalvix/design.h"

namespace qrvn {
namespace impl {

class DocumentImpl;
class ComponentImpl;

// Old object -> its copy, filled by ComponentImpl::clone.
using CloneMap = std::map<const core::Base*, core::Ptr<core::Base>>;

class BRepBodyImpl : public kalvix::BRepBody {
public:
    BRepBodyImpl(std::string name, bool solid) : name_(std::move(name)), solid_(solid) {}
    std::string name() override { return name_; }
    bool isSolid() override { return solid_; }
    core::Ptr<kalvix::Component> parentComponent() override;

    std::string name_;
    bool solid_;
    std::weak_ptr<ComponentImpl> parent_;
};

class MeshBodyImpl : public kalvix::MeshBody {
public:
    explicit MeshBodyImpl(std::string name) : name_(std::move(name)) {}
    std::string name() override { return name_; }
    core::Ptr<kalvix::Component> parentComponent() override;

    std::string name_;
    std::weak_ptr<ComponentImpl> parent_;
};

class OccurrenceImpl : public kalvix::Occurrence {
public:
    OccurrenceImpl(std::string name, core::Ptr<ComponentImpl> component)
        : name_(std::move(name)), component_(std::move(component)) {}
    std::string name() override { return name_; }
    core::Ptr<kalvix::Component> component() override;
    core::Ptr<kalvix::BRepBodies> bRepBodies() override;
    core::Ptr<kalvix::OccurrenceList> childOccurrences() override;

    std::string name_;
    core::Ptr<ComponentImpl> component_;
};

class ComponentImpl : public kalvix::Component {
public:
    explicit ComponentImpl(std::string name) : name_(std::move(name)) {}
    std::string name() override { return name_; }
    core::Ptr<kalvix::BRepBodies> bRepBodies() override;
    core::Ptr<kalvix::MeshBodies> meshBodies() override;
    core::Ptr<kalvix::Occurrences> occurrences() override;

    core::Ptr<BRepBodyImpl> addBRepBody(const std::string& name, bool solid = true);
    core::Ptr<MeshBodyImpl> addMeshBody(const std::string& name);
    // Places `component` in this one; the occurrence is named "<name>:<n>".
    core::Ptr<OccurrenceImpl> addOccurrence(const core::Ptr<ComponentImpl>& component);

    core::Ptr<ComponentImpl> clone(CloneMap& map) const;
    // Bodies of this component and of every component placed below it.
    size_t totalBodyCount() const;

    std::string name_;
    std::vector<core::Ptr<BRepBodyImpl>> bodies_;
    std::vector<core::Ptr<MeshBodyImpl>> meshes_;
    std::vector<core::Ptr<OccurrenceImpl>> occurrences_;
};

class DesignImpl : public kalvix::Design {
public:
    DesignImpl(std::weak_ptr<DocumentImpl> document, core::Ptr<ComponentImpl> root)
        : document_(std::move(document)), root_(std::move(root)) {}
    std::string productType() override { return "DesignProductType"; }
    std::string name() override { return "Design"; }
    core::Ptr<core::Document> parentDocument() override;
    core::Ptr<kalvix::Component> rootComponent() override { return root_; }

    std::weak_ptr<DocumentImpl> document_;
    core::Ptr<ComponentImpl> root_;
};

}  // namespace impl
}  // namespace qrvn
