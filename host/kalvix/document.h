// KalvixDocument: a design document of the host (the only document type).
// Owned by the host application; user-interface thread only.
#pragma once

#include "host/core/documents.h"

namespace qrvn {
namespace kalvix {

class Design;

class QRVN_API KalvixDocument : public core::Document {
    QRVN_CLASS_TYPE(core::Document, "qrvn::kalvix::KalvixDocument")
public:
    // The document's design product.
    virtual core::Ptr<Design> design() = 0;
};

}  // namespace kalvix
}  // namespace qrvn
