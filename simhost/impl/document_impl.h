// DocumentImpl: a simulated design document. Owns its products (the design,
// and the CAM product once the manufacturing workspace was entered), its
// attributes and its view, and remembers the workspace it was last shown
// in. The application owns the open documents; a saved copy is a detached
// DocumentImpl that no application lists. User-interface thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/core/documents.h"
#include "host/kalvix/document.h"

namespace qrvn {
namespace impl {

class ApplicationImpl;
class AttributeStore;
class CAMImpl;
class DesignImpl;
class ViewportImpl;

class DocumentImpl : public kalvix::KalvixDocument {
public:
    explicit DocumentImpl(std::string name);
    // A new document with an empty design.
    static core::Ptr<DocumentImpl> create(const std::string& name);

    std::string name() override;
    bool isActive() override;
    bool isVisible() override { return visible_; }
    bool isModified() override { return modified_; }
    bool isSaved() override { return saved_; }
    core::Ptr<core::Products> products() override;
    core::Ptr<core::Attributes> attributes() override;
    core::Ptr<core::Application> parent() override;
    bool activate() override;
    bool close(bool saveChanges) override;
    core::Ptr<kalvix::Design> design() override;
    bool isValid() override { return valid_; }

    // Host side.
    core::Ptr<DesignImpl> designImpl() { return design_; }
    core::Ptr<CAMImpl> camImpl() { return cam_; }
    // Gives the document its manufacturing product if it has none.
    core::Ptr<CAMImpl> ensureCam();
    core::Ptr<ViewportImpl> viewport();
    // A detached deep copy: name, attributes, design, CAM product.
    core::Ptr<DocumentImpl> copy() const;

    std::string name_;
    bool valid_ = true;
    bool visible_ = true;
    bool modified_ = false;
    bool saved_ = false;
    std::string workspaceId_ = "KalvixSolidEnvironment";
    std::weak_ptr<ApplicationImpl> application_;
    std::shared_ptr<AttributeStore> attributes_;
    core::Ptr<DesignImpl> design_;
    core::Ptr<CAMImpl> cam_;
    core::Ptr<ViewportImpl> viewport_;
};

class ProductsImpl : public core::Products {
public:
    explicit ProductsImpl(core::Ptr<DocumentImpl> document) : document_(std::move(document)) {}
    size_t count() override;
    core::Ptr<core::Product> item(size_t index) override;
    core::Ptr<core::Product> itemByProductType(const std::string& productType) override;

private:
    std::vector<core::Ptr<core::Product>> list();
    core::Ptr<DocumentImpl> document_;
};

}  // namespace impl
}  // namespace qrvn
