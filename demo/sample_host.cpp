#include "demo/sample_host.h"

#include <filesystem>
#include <fstream>

#include "simhost/sim/cam.h"

namespace demo {

namespace sim = qrvn::sim;

namespace {

// The machine description names the post as the host does for its own
// posts: "system://" + a path inside the system post-processor folder.
const char* const kPostInLibrary = "system://stratavox/stratavox_fff.cps";

void addPrinter(const std::string& id, const std::string& name, const std::string& vendor,
                const std::string& postProcessor, Steps& steps) {
    sim::MachineSpec spec;
    spec.id = id;
    spec.name = name;
    spec.vendor = vendor;
    spec.model = name;
    spec.description = name + " FFF printer";
    spec.postProcessor = postProcessor;
    sim::addMachine(spec);
    steps.detail("printer        " + name + " (vendor " + vendor +
                 (postProcessor.empty() ? "" : ", post " + postProcessor) + ")");
}

void addSetting(const std::string& id, const std::string& name, const std::string& vendor,
                const std::string& technology, Steps& steps) {
    sim::PrintSettingSpec spec;
    spec.id = id;
    spec.name = name;
    spec.vendor = vendor;
    spec.technology = technology;
    sim::addPrintSetting(spec);
    steps.detail("print setting  " + name + " (vendor " + vendor + ", " + technology + ")");
}

bool writePostProcessor(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (error) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    // The simulated host does not interpret the post; it only has to exist
    // where the machine description says.
    out << "// Stratavox FFF post-processor: G-code for the S series\n";
    return static_cast<bool>(out);
}

}  // namespace

SampleHost prepareSampleHost(const std::string& workFolder, Steps& steps) {
    SampleHost host;
    const std::string postFolder = workFolder + "/posts";
    host.postProcessor = postFolder + "/stratavox/stratavox_fff.cps";
    if (writePostProcessor(host.postProcessor)) {
        host.postFolder = postFolder;
        sim::setSystemPostFolder(postFolder);
        steps.detail("system post-processor folder " + postFolder);
    }

    addPrinter("acme-p1", "Acme P1", "Acme", "", steps);
    addPrinter("svx-s5", kDemoPrinter, "Stratavox", kPostInLibrary, steps);
    addPrinter("svx-s7", "Stratavox S7", "Stratavox", kPostInLibrary, steps);
    addSetting("svx-pla", kDemoPrintSetting, "Stratavox", "FFF", steps);
    addSetting("svx-petg", "Stratavox PETG 0.1mm", "Stratavox", "FFF", steps);
    addSetting("acme-resin", "Acme Resin", "Acme", "SLA", steps);

    // The sample design, saved as the file the user will open.
    auto document = sim::newDocument(kSampleDocument);
    sim::setDesign(document, {kSampleDocument, {"Base Plate"}, {}, {{"Rib", {"Rib Body"}, {}, {}}}});
    host.design = sim::saveDocument(document);
    sim::closeDocument(document);
    steps.detail(std::string("sample design \"") + kSampleDocument +
                 "\" saved: body Base Plate, component Rib (body Rib Body)");
    return host;
}

}  // namespace demo
