// Documents, Document, Products, Product: the documents open in the host and
// the products inside a document (the design, and the manufacturing side
// "CAMProductType" once the document has one). Owned by the host application;
// a closed document becomes invalid. User-interface thread only.
#pragma once

#include <cstddef>
#include <string>

#include "host/core/base.h"

namespace qrvn {
namespace core {

class Document;
class Product;
class Products;
class Attributes;
class Application;

enum DocumentTypes {
    KalvixDesignDocumentType = 0,
};

class QRVN_API Documents : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Documents")
public:
    virtual size_t count() = 0;
    virtual Ptr<Document> item(size_t index) = 0;
    // Creates a new, empty design document; it becomes the active document
    // when visible (document events as described in application.h).
    virtual Ptr<Document> add(DocumentTypes documentType, bool visible = true) = 0;
};

class QRVN_API Document : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Document")
public:
    virtual std::string name() = 0;
    virtual bool isActive() = 0;
    virtual bool isVisible() = 0;
    virtual bool isModified() = 0;
    virtual bool isSaved() = 0;
    virtual Ptr<Products> products() = 0;
    virtual Ptr<Attributes> attributes() = 0;
    virtual Ptr<Application> parent() = 0;
    // Makes this the active document (document events as in application.h).
    virtual bool activate() = 0;
    // Closes the document; it becomes invalid.
    virtual bool close(bool saveChanges = true) = 0;
};

class QRVN_API Products : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Products")
public:
    virtual size_t count() = 0;
    virtual Ptr<Product> item(size_t index) = 0;
    // "DesignProductType" or "CAMProductType"; empty when the document has
    // no such product.
    virtual Ptr<Product> itemByProductType(const std::string& productType) = 0;
};

class QRVN_API Product : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Product")
public:
    virtual std::string productType() = 0;
    virtual std::string name() = 0;
    virtual Ptr<Document> parentDocument() = 0;
};

}  // namespace core
}  // namespace qrvn
