// Ptr<T>: the reference-counted handle through which every host object is
// reached. It owns one shared reference to the object; an empty handle means
// "none" (a host call that has nothing to return gives an empty handle).
// Handles may be copied and released on any thread; the objects they point
// to are used on the host's user-interface thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace qrvn {
namespace core {

template <class T>
class Ptr {
public:
    Ptr() = default;
    Ptr(std::nullptr_t) {}
    explicit Ptr(std::shared_ptr<T> object) : object_(std::move(object)) {}

    // Up-casts are implicit (a Ptr<CommandControl> is a Ptr<ToolbarControl>);
    // down-casts go through query<T>().
    template <class U, class = std::enable_if_t<std::is_convertible<U*, T*>::value>>
    Ptr(const Ptr<U>& other) : object_(other.shared()) {}

    T* operator->() const { return object_.get(); }
    T& operator*() const { return *object_; }
    T* get() const { return object_.get(); }
    explicit operator bool() const { return static_cast<bool>(object_); }
    bool isNull() const { return !object_; }
    void reset() { object_.reset(); }

    // Dynamic cast by the host's class type; empty when the object is not a U.
    template <class U>
    Ptr<U> query() const;

    const std::shared_ptr<T>& shared() const { return object_; }

private:
    std::shared_ptr<T> object_;
};

template <class T, class U>
bool operator==(const Ptr<T>& a, const Ptr<U>& b) {
    return a.get() == b.get();
}
template <class T, class U>
bool operator!=(const Ptr<T>& a, const Ptr<U>& b) {
    return a.get() != b.get();
}
template <class T, class U>
bool operator<(const Ptr<T>& a, const Ptr<U>& b) {
    return std::less<const void*>()(a.get(), b.get());
}
template <class T>
bool operator==(const Ptr<T>& a, std::nullptr_t) {
    return !a;
}
template <class T>
bool operator!=(const Ptr<T>& a, std::nullptr_t) {
    return static_cast<bool>(a);
}

// Free form of the cast: query<CommandControl>(control).
template <class U, class T>
Ptr<U> query(const Ptr<T>& object) {
    return object.template query<U>();
}

}  // namespace core
}  // namespace qrvn
