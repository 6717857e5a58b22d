// ManufacturingModels, ManufacturingModel, ManufacturingModelInput: the
// manufacturing models of a document's CAM product. A manufacturing model is
// a copy of the design taken when it is added; its occurrence holds that
// copy's bodies and child occurrences. Owned by the CAM product;
// user-interface thread only.
#pragma once

#include <cstddef>
#include <string>

#include "host/core/base.h"

namespace qrvn {
namespace kalvix {
class Occurrence;
}
namespace cam {

class ManufacturingModel;
class ManufacturingModelInput;

class QRVN_API ManufacturingModels : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::ManufacturingModels")
public:
    virtual size_t count() = 0;
    virtual core::Ptr<ManufacturingModel> item(size_t index) = 0;
    virtual core::Ptr<ManufacturingModel> itemByName(const std::string& name) = 0;
    virtual core::Ptr<ManufacturingModelInput> createInput() = 0;
    virtual core::Ptr<ManufacturingModel> add(const core::Ptr<ManufacturingModelInput>& input) = 0;
};

class QRVN_API ManufacturingModelInput : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::ManufacturingModelInput")
public:
    virtual std::string name() = 0;
    virtual bool name(const std::string& name) = 0;
};

class QRVN_API ManufacturingModel : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::ManufacturingModel")
public:
    virtual std::string name() = 0;
    virtual std::string id() = 0;
    // The occurrence of the model's copy of the design.
    virtual core::Ptr<kalvix::Occurrence> occurrence() = 0;
};

}  // namespace cam
}  // namespace qrvn
