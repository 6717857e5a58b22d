// ViewportImpl: the view of a simulated document. saveImage writes a real
// JPEG image (a plain rendering, enough for a thumbnail). Owned by its
// document; user-interface thread only.
#pragma once

#include <memory>
#include <string>

#include "host/core/viewport.h"

namespace qrvn {
namespace impl {

class DocumentImpl;

class ViewportImpl : public core::Viewport {
public:
    explicit ViewportImpl(std::weak_ptr<DocumentImpl> document) : document_(std::move(document)) {}
    int width() override { return 1280; }
    int height() override { return 720; }
    bool saveImage(const std::string& filename, int width, int height) override;

private:
    std::weak_ptr<DocumentImpl> document_;
};

}  // namespace impl
}  // namespace qrvn
