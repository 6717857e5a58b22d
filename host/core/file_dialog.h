// FileDialog: a modal dialog to choose files, created per use by the user
// interface and owned by the caller's handle. User-interface thread only.
#pragma once

#include <string>
#include <vector>

#include "host/core/base.h"
#include "host/core/user_interface.h"

namespace qrvn {
namespace core {

class QRVN_API FileDialog : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::FileDialog")
public:
    virtual std::string title() = 0;
    virtual bool setTitle(const std::string& title) = 0;
    virtual std::string initialDirectory() = 0;
    virtual bool setInitialDirectory(const std::string& directory) = 0;
    // Filter text such as "Postprocessor files (*.cps)".
    virtual std::string filter() = 0;
    virtual bool setFilter(const std::string& filter) = 0;
    virtual bool isMultiSelectEnabled() = 0;
    virtual bool setMultiSelect(bool multiSelect) = 0;
    // DialogOK when the user chose a file, DialogCancel otherwise.
    virtual DialogResults showOpen() = 0;
    virtual DialogResults showSave() = 0;
    // The chosen file (the first one when several were chosen).
    virtual std::string fileName() = 0;
    virtual std::vector<std::string> fileNames() = 0;
};

}  // namespace core
}  // namespace qrvn
