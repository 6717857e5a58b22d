// Small helpers shared by the simulated host's implementation classes:
// making handles, reaching an object's own handle, weak back links, and the
// check that an object is still valid before a call uses it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/core/application.h"
#include "host/core/base.h"
#include "simhost/impl/host_state.h"

namespace qrvn {
namespace impl {

template <class T, class... Args>
core::Ptr<T> make(Args&&... args) {
    return core::Ptr<T>(std::make_shared<T>(std::forward<Args>(args)...));
}

// The handle of an object that is owned through a handle.
template <class T>
core::Ptr<T> self(T* object) {
    return core::Ptr<T>(std::static_pointer_cast<T>(object->shared_from_this()));
}

template <class T>
std::weak_ptr<T> weak(const core::Ptr<T>& handle) {
    return std::weak_ptr<T>(handle.shared());
}

template <class T>
core::Ptr<T> lock(const std::weak_ptr<T>& link) {
    return core::Ptr<T>(link.lock());
}

template <class T>
core::Ptr<T> itemAt(const std::vector<core::Ptr<T>>& items, size_t index) {
    if (index >= items.size()) {
        setLastError(4, "index out of range");
        return core::Ptr<T>();
    }
    return items[index];
}

// Records the error for a call on an object the host has deleted.
inline bool failInvalid(const char* operation) {
    setLastError(3, std::string(operation) + ": the object is no longer valid");
    return false;
}

}  // namespace impl
}  // namespace qrvn
