// The simulated CAM libraries: machines (printers) and print settings, each
// filed under a library location. They belong to the application (not to a
// document), so setups of every document refer to the same entries. Filled
// by the scripting API; queried by the add-in. User-interface thread only.
#pragma once

#include <string>
#include <vector>

#include "host/cam/libraries.h"
#include "host/cam/machine.h"

namespace qrvn {
namespace impl {

class MachineImpl : public cam::Machine {
public:
    std::string id() override { return id_; }
    std::string name() override { return name_; }
    std::string vendor() override { return vendor_; }
    std::string model() override { return model_; }
    std::string description() override { return description_; }
    core::Ptr<cam::MachineCapabilities> capabilities() override;
    bool exportToFile(int format, const std::string& filePath) override;

    // The XML machine description exportToFile writes: the scripted text
    // when set, else one built from the fields (with a <post> element only
    // when postProcessor_ is set).
    std::string descriptionXml() const;

    std::string id_, name_, vendor_, model_, description_;
    bool hasTechnology_ = true;
    int32_t technology_ = cam::FFFMachineTechnology;
    std::string postProcessor_;
    std::string scriptedDescriptionXml_;
    bool hasScriptedDescriptionXml_ = false;
};

class PrintSettingImpl : public cam::PrintSetting {
public:
    std::string id() override { return id_; }
    std::string name() override { return name_; }
    std::string vendor() override { return vendor_; }
    std::string technology() override { return technology_; }
    std::string description() override { return description_; }

    std::string id_, name_, vendor_, technology_, description_;
};

struct LibraryContents {
    struct MachineEntry {
        cam::LibraryLocations location;
        core::Ptr<MachineImpl> machine;
    };
    struct PrintSettingEntry {
        cam::LibraryLocations location;
        core::Ptr<PrintSettingImpl> printSetting;
    };
    std::vector<MachineEntry> machines;
    std::vector<PrintSettingEntry> printSettings;
};

class CAMManagerImpl : public cam::CAMManager {
public:
    CAMManagerImpl();
    core::Ptr<cam::CAMLibraryManager> libraryManager() override;

    std::shared_ptr<LibraryContents> contents_;
    std::string systemPostFolder_ = "/opt/quorvane/kalvix/posts";
};

}  // namespace impl
}  // namespace qrvn
