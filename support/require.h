#pragma once
// required: turns a host call that returned no object where one is needed
// into a failure. Without a text the failure is a plain std::exception, so
// a log shows whatever that type reports; with one it is a
// std::runtime_error carrying exactly that text. Stateless.

#include <exception>
#include <stdexcept>
#include <string>

#include "host/core/ptr.h"

namespace support {

template <class T>
qrvn::core::Ptr<T> required(qrvn::core::Ptr<T> object) {
    if (!object) throw std::exception();
    return object;
}

template <class T>
qrvn::core::Ptr<T> required(qrvn::core::Ptr<T> object, const std::string& failure) {
    if (!object) throw std::runtime_error(failure);
    return object;
}

}  // namespace support
