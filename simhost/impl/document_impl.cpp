#include "simhost/impl/document_impl.h"

#include "simhost/impl/application_impl.h"
#include "simhost/impl/attributes_impl.h"
#include "simhost/impl/cam_impl.h"
#include "simhost/impl/common.h"
#include "simhost/impl/design_impl.h"
#include "simhost/impl/viewport_impl.h"

namespace qrvn {
namespace impl {

DocumentImpl::DocumentImpl(std::string name)
    : name_(std::move(name)), attributes_(std::make_shared<AttributeStore>()) {}

core::Ptr<DocumentImpl> DocumentImpl::create(const std::string& name) {
    auto document = make<DocumentImpl>(name);
    document->design_ = make<DesignImpl>(weak(document), make<ComponentImpl>(name));
    return document;
}

std::string DocumentImpl::name() { return name_; }

bool DocumentImpl::isActive() {
    auto application = lock(application_);
    return valid_ && application && application->activeDocumentImpl().get() == this;
}

core::Ptr<core::Products> DocumentImpl::products() {
    if (scriptedFailure("Document::products")) return core::Ptr<core::Products>();
    return make<ProductsImpl>(self(this));
}

core::Ptr<core::Attributes> DocumentImpl::attributes() {
    if (scriptedFailure("Document::attributes")) return core::Ptr<core::Attributes>();
    return make<AttributesImpl>(attributes_);
}

core::Ptr<core::Application> DocumentImpl::parent() { return lock(application_); }

bool DocumentImpl::activate() {
    if (!valid_) return failInvalid("Document::activate");
    auto application = lock(application_);
    if (!application) return failInvalid("Document::activate");
    return application->activateDocument(self(this));
}

bool DocumentImpl::close(bool saveChanges) {
    if (!valid_) return failInvalid("Document::close");
    auto application = lock(application_);
    if (!application) return failInvalid("Document::close");
    if (saveChanges && modified_) saved_ = true;
    return application->closeDocument(self(this));
}

core::Ptr<kalvix::Design> DocumentImpl::design() { return design_; }

core::Ptr<CAMImpl> DocumentImpl::ensureCam() {
    if (!cam_) cam_ = make<CAMImpl>(weak(self(this)));
    return cam_;
}

core::Ptr<ViewportImpl> DocumentImpl::viewport() {
    if (!viewport_) viewport_ = make<ViewportImpl>(weak(self(this)));
    return viewport_;
}

core::Ptr<DocumentImpl> DocumentImpl::copy() const {
    auto document = make<DocumentImpl>(name_);
    document->attributes_ = attributes_->clone();
    document->workspaceId_ = workspaceId_;
    CloneMap map;
    document->design_ = make<DesignImpl>(weak(document), design_->root_->clone(map));
    if (cam_) document->cam_ = cam_->copyFor(document);
    return document;
}

std::vector<core::Ptr<core::Product>> ProductsImpl::list() {
    std::vector<core::Ptr<core::Product>> products;
    if (document_->design_) products.push_back(document_->design_);
    if (document_->cam_) products.push_back(document_->cam_);
    return products;
}

size_t ProductsImpl::count() { return list().size(); }

core::Ptr<core::Product> ProductsImpl::item(size_t index) { return itemAt(list(), index); }

core::Ptr<core::Product> ProductsImpl::itemByProductType(const std::string& productType) {
    for (auto& product : list()) {
        if (product->productType() == productType) return product;
    }
    return core::Ptr<core::Product>();
}

}  // namespace impl
}  // namespace qrvn
