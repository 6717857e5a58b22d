// Base: the root of every host object. It carries the host's run-time type
// identity (classType / objectType), the cast `query<T>()` built on it, and
// validity: an object the host has deleted (a closed document, a deleted
// control) stays reachable through old handles but reports isValid() false.
// Host objects live on the host's user-interface thread.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "host/core/ptr.h"

// Host classes keep default visibility, so an add-in built with hidden
// visibility still shares their type identity with the host library.
#define QRVN_API __attribute__((visibility("default")))

// Declares the class-type identity of a host class. Parent is the host class
// it derives from; Name is the text id, e.g. "qrvn::kalvix::KalvixDocument".
#define QRVN_CLASS_TYPE(Parent, Name)                                                                                  \
public:                                                                                                                \
    static const char* classType() { return Name; }                                                                    \
    const char* objectType() const override { return Name; }                                                           \
    bool isKindOf(const char* type) const override { return std::strcmp(type, Name) == 0 || Parent::isKindOf(type); }

namespace qrvn {
namespace core {

class QRVN_API Base : public std::enable_shared_from_this<Base> {
public:
    virtual ~Base();

    static const char* classType() { return "qrvn::core::Base"; }
    // The most derived host class of this object.
    virtual const char* objectType() const { return classType(); }
    // True when this object is of the host class `type` or derives from it.
    virtual bool isKindOf(const char* type) const { return std::strcmp(type, classType()) == 0; }

    // False once the host has deleted the object.
    virtual bool isValid() { return true; }

    template <class T>
    Ptr<T> query() {
        if (!isKindOf(T::classType())) return Ptr<T>();
        return Ptr<T>(std::static_pointer_cast<T>(shared_from_this()));
    }

protected:
    Base() = default;
    Base(const Base&) = delete;
    Base& operator=(const Base&) = delete;
};

template <class T>
template <class U>
Ptr<U> Ptr<T>::query() const {
    if (!object_) return Ptr<U>();
    return object_->template query<U>();
}

// Releases a text array the host allocated. Texts cross this interface as
// std::string, so callers never need it; it exists for code written against
// the host's C-string form.
QRVN_API void DeallocateArrayInternal(char* array);

}  // namespace core
}  // namespace qrvn
