// Scripting the host's manufacturing side: fill the CAM libraries with
// machines and print settings, give documents their manufacturing product,
// and add setups (the host fires its setup events as it would for the user).
// UI thread only.
#pragma once

#include <string>
#include <vector>

#include "host/cam.h"

namespace qrvn {
namespace sim {

struct MachineSpec {
    std::string id;
    std::string name;
    std::string vendor;
    std::string model;
    std::string description;
    // false: the machine reports no technology (MachineCapabilities::hasTechnology).
    bool hasTechnology = true;
    int technology = cam::FFFMachineTechnology;
    cam::LibraryLocations location = cam::HostLibraryLocation;
    // The <post><postProcessor> of the machine description; none when empty.
    std::string postProcessor;
    // When set, exportToFile writes exactly this text as the description.
    bool hasDescriptionXml = false;
    std::string descriptionXml;
};

struct PrintSettingSpec {
    std::string id;
    std::string name;
    std::string vendor;
    std::string technology = "FFF";
    std::string description;
    cam::LibraryLocations location = cam::HostLibraryLocation;
};

// Library entries are appended in call order (queries answer in that order).
core::Ptr<cam::Machine> addMachine(const MachineSpec& spec);
core::Ptr<cam::PrintSetting> addPrintSetting(const PrintSettingSpec& spec);
void clearLibraries();
void setSystemPostFolder(const std::string& folder);

// The document's manufacturing product, created (without switching
// workspaces) when it has none: a document that was saved with one.
core::Ptr<cam::CAM> ensureCamProduct(const core::Ptr<core::Document>& document);

// Adds an additive setup for `machine` on a manufacturing model of the
// document (made when the document has none), as the user would in the
// manufacturing workspace; the new setup becomes active.
core::Ptr<cam::Setup> addSetup(const core::Ptr<core::Document>& document, const std::string& name,
                               const core::Ptr<cam::Machine>& machine,
                               const core::Ptr<cam::PrintSetting>& printSetting = core::Ptr<cam::PrintSetting>());

// Whether the setup's toolpath is up to date (post-processing needs it).
// Changing a setup makes it out of date.
void setToolpathValid(const core::Ptr<cam::Setup>& setup, bool valid);

// Every export and view image the host has written in this process, with
// its bytes as written: the add-in may delete its files once uploaded.
struct WrittenFile {
    std::string path;
    std::string bytes;
};
std::vector<WrittenFile> writtenFiles();

}  // namespace sim
}  // namespace qrvn
