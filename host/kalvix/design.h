// The design of a document: its root component, components, occurrences
// (placed instances of components, which may hold child occurrences), B-rep
// bodies and mesh bodies. Owned by the document; user-interface thread only.
#pragma once

#include <cstddef>
#include <string>

#include "host/core/documents.h"

namespace qrvn {
namespace kalvix {

class Component;
class Occurrence;
class Occurrences;
class OccurrenceList;
class BRepBody;
class BRepBodies;
class MeshBody;
class MeshBodies;

class QRVN_API Design : public core::Product {
    QRVN_CLASS_TYPE(core::Product, "qrvn::kalvix::Design")
public:
    virtual core::Ptr<Component> rootComponent() = 0;
};

class QRVN_API Component : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::kalvix::Component")
public:
    virtual std::string name() = 0;
    virtual core::Ptr<BRepBodies> bRepBodies() = 0;
    virtual core::Ptr<MeshBodies> meshBodies() = 0;
    // The occurrences placed directly in this component.
    virtual core::Ptr<Occurrences> occurrences() = 0;
};

class QRVN_API Occurrences : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::kalvix::Occurrences")
public:
    virtual size_t count() = 0;
    virtual core::Ptr<Occurrence> item(size_t index) = 0;
    virtual core::Ptr<Occurrence> itemByName(const std::string& name) = 0;
};

// A read-only list of occurrences (the children of an occurrence).
class QRVN_API OccurrenceList : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::kalvix::OccurrenceList")
public:
    virtual size_t count() = 0;
    virtual core::Ptr<Occurrence> item(size_t index) = 0;
};

class QRVN_API Occurrence : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::kalvix::Occurrence")
public:
    // "component:1" style name.
    virtual std::string name() = 0;
    virtual core::Ptr<Component> component() = 0;
    // The bodies of the occurrence's component, in the occurrence's context.
    virtual core::Ptr<BRepBodies> bRepBodies() = 0;
    virtual core::Ptr<OccurrenceList> childOccurrences() = 0;
};

class QRVN_API BRepBodies : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::kalvix::BRepBodies")
public:
    virtual size_t count() = 0;
    virtual core::Ptr<BRepBody> item(size_t index) = 0;
};

class QRVN_API BRepBody : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::kalvix::BRepBody")
public:
    virtual std::string name() = 0;
    virtual bool isSolid() = 0;
    virtual core::Ptr<Component> parentComponent() = 0;
};

class QRVN_API MeshBodies : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::kalvix::MeshBodies")
public:
    virtual size_t count() = 0;
    virtual core::Ptr<MeshBody> item(size_t index) = 0;
};

class QRVN_API MeshBody : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::kalvix::MeshBody")
public:
    virtual std::string name() = 0;
    virtual core::Ptr<Component> parentComponent() = 0;
};

}  // namespace kalvix
}  // namespace qrvn
