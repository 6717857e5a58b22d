// Viewport: the graphics view of a document, owned by the host.
// User-interface thread only.
#pragma once

#include <string>

#include "host/core/base.h"

namespace qrvn {
namespace core {

class QRVN_API Viewport : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Viewport")
public:
    virtual int width() = 0;
    virtual int height() = 0;
    // Writes an image of the view (JPEG or PNG after the file's extension).
    virtual bool saveImage(const std::string& filename, int width, int height) = 0;
};

}  // namespace core
}  // namespace qrvn
