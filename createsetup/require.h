#pragma once
// require: turns a host call that returned no object where one is needed
// into a failure (std::runtime_error with a short fixed text). Stateless.

#include <stdexcept>

#include "host/core/ptr.h"

namespace CreateSetup {

template <class T>
qrvn::core::Ptr<T> require(qrvn::core::Ptr<T> object, const char* failure) {
  if (!object) throw std::runtime_error(failure);
  return object;
}

}  // namespace CreateSetup
