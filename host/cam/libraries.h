// CAMManager, CAMLibraryManager, the machine and print-setting libraries and
// their queries. The libraries belong to the host application, not to a
// document. A query is a small filter object the caller owns: set its
// filters, then execute() returns the matching entries in library order.
// Empty filter texts match everything; vendor and model compare exactly.
// User-interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/core/base.h"

namespace qrvn {
namespace cam {

class CAMLibraryManager;
class MachineLibrary;
class MachineQuery;
class PrintSettingLibrary;
class PrintSettingQuery;
class Machine;
class PrintSetting;

enum LibraryLocations {
    LocalLibraryLocation = 0,
    CloudLibraryLocation = 1,
    NetworkLibraryLocation = 2,
    OnlineSamplesLibraryLocation = 3,
    ExternalLibraryLocation = 4,
    // The libraries that ship with the host.
    HostLibraryLocation = 5,
};

class QRVN_API CAMManager : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::CAMManager")
public:
    // Empty when there is no application.
    static core::Ptr<CAMManager> get();
    virtual core::Ptr<CAMLibraryManager> libraryManager() = 0;
};

class QRVN_API CAMLibraryManager : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::CAMLibraryManager")
public:
    virtual core::Ptr<MachineLibrary> machineLibrary() = 0;
    virtual core::Ptr<PrintSettingLibrary> printSettingLibrary() = 0;
};

class QRVN_API MachineLibrary : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::MachineLibrary")
public:
    virtual core::Ptr<MachineQuery> createQuery(LibraryLocations location, const std::string& vendor = "",
                                                const std::string& model = "") = 0;
};

class QRVN_API MachineQuery : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::MachineQuery")
public:
    virtual LibraryLocations location() = 0;
    virtual std::string vendor() = 0;
    virtual bool vendor(const std::string& vendor) = 0;
    virtual std::string model() = 0;
    virtual bool model(const std::string& model) = 0;
    // Restricts to machines with this technology code; -1 (default) for any.
    virtual int32_t technology() = 0;
    virtual bool technology(int32_t technology) = 0;
    virtual std::vector<core::Ptr<Machine>> execute() = 0;
};

class QRVN_API PrintSettingLibrary : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::PrintSettingLibrary")
public:
    virtual core::Ptr<PrintSettingQuery> createQuery(LibraryLocations location) = 0;
};

class QRVN_API PrintSettingQuery : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::PrintSettingQuery")
public:
    virtual LibraryLocations location() = 0;
    virtual std::string vendor() = 0;
    virtual bool vendor(const std::string& vendor) = 0;
    // Technology text such as "FFF"; empty for any.
    virtual std::string technology() = 0;
    virtual bool technology(const std::string& technology) = 0;
    virtual std::vector<core::Ptr<PrintSetting>> execute() = 0;
};

}  // namespace cam
}  // namespace qrvn
