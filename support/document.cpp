#include "support/document.h"

#include <exception>
#include <stdexcept>

#include "support/ids.h"

namespace support {

using qrvn::core::Ptr;

namespace {

constexpr char kGroup[] = "EXMI";
constexpr char kName[] = "DocumentUUID";

Ptr<qrvn::core::Attributes> attributesOf(const Ptr<qrvn::core::Document>& document) {
    Ptr<qrvn::core::Attributes> attributes = document->attributes();
    if (!attributes) throw std::exception();
    return attributes;
}

}  // namespace

Ptr<qrvn::core::UserInterface> getUserInterface() {
    Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    return app ? app->userInterface() : nullptr;
}

Ptr<qrvn::core::Document> getActiveDocument() {
    Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    return app ? app->activeDocument() : nullptr;
}

Ptr<qrvn::cam::CAM> getCamProduct(const Ptr<qrvn::core::Document>& document) {
    if (!document) return nullptr;
    Ptr<qrvn::core::Products> products = document->products();
    if (!products) throw std::exception();
    Ptr<qrvn::core::Product> product = products->itemByProductType("CAMProductType");
    return product.query<qrvn::cam::CAM>();
}

std::string readDocumentUuid(const Ptr<qrvn::core::Document>& document) {
    if (!document) return std::string();
    Ptr<qrvn::core::Attribute> attribute = attributesOf(document)->itemByName(kGroup, kName);
    return attribute ? attribute->value() : std::string();
}

std::string ensureDocumentUuid(const Ptr<qrvn::core::Document>& document, std::set<std::string> known,
                               bool replaceIfKnown) {
    if (!document) return std::string();
    Ptr<qrvn::core::Attributes> attributes = attributesOf(document);
    Ptr<qrvn::core::Attribute> attribute = attributes->itemByName(kGroup, kName);
    if (!attribute) {
        attributes->add(kGroup, kName, generateUuid());
    } else if (replaceIfKnown && known.count(attribute->value()) != 0) {
        attribute->value(generateUuid());
    }
    return readDocumentUuid(document);
}

Ptr<qrvn::kalvix::KalvixDocument> findDocumentByUuid(const std::string& uuid) {
    if (uuid.empty()) return nullptr;
    Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    if (!app) return nullptr;
    Ptr<qrvn::core::Documents> documents = app->documents();
    if (!documents) return nullptr;
    const std::size_t count = documents->count();
    for (std::size_t i = 0; i < count; ++i) {
        Ptr<qrvn::kalvix::KalvixDocument> document = documents->item(i).query<qrvn::kalvix::KalvixDocument>();
        if (document && readDocumentUuid(document) == uuid) return document;
    }
    return nullptr;
}

std::string machinePath(const Ptr<qrvn::core::Document>& document, const Ptr<qrvn::cam::Setup>& setup) {
    if (!document || !setup) throw std::runtime_error("invalid setup or document");
    return readDocumentUuid(document) + "/" + std::to_string(setup->operationId());
}

}  // namespace support
