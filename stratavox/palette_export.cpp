// Export of the design (3MF) and of the setup's toolpath (G-code) into the
// add-in's temporary folder, and the post-processor named by the machine
// description.
#include <exception>
#include <string>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "exmi/extensible_machine.h"
#include "stratavox/stratavox_palette.h"
#include "support/document.h"
#include "support/files.h"
#include "support/require.h"

namespace {

using qrvn::core::Ptr;

const char* const kSystemPrefix = "system://";

std::string documentName(const Ptr<qrvn::core::Document>& document) {
    return document ? document->name() : std::string("Document");
}

std::string setupName(const Ptr<qrvn::cam::Setup>& setup) { return setup ? setup->name() : std::string("Setup"); }

using support::required;

// Removes a temporary file when the scope ends, however it ends, unless it
// is kept.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string filePath) : path(std::move(filePath)) {}
    ~TemporaryFile() {
        if (!path.empty()) support::deleteFile(path);
    }
    void keep() { path.clear(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& getPath() const { return path; }

private:
    std::string path;
};

// <machine><post><postProcessor> of a machine description; empty when any
// of the three is missing. Parses in place; throws the parser's error for
// malformed XML.
std::string postProcessorOf(std::vector<char>& text) {
    rapidxml::xml_document<> document;
    document.parse<0>(text.data());
    rapidxml::xml_node<>* machine = document.first_node("machine");
    rapidxml::xml_node<>* post = machine ? machine->first_node("post") : nullptr;
    rapidxml::xml_node<>* postProcessor = post ? post->first_node("postProcessor") : nullptr;
    if (!postProcessor) return std::string();
    return std::string(postProcessor->value(), postProcessor->value_size());
}

}  // namespace

bool StratavoxPalette::export3MF(std::string& filePath, std::string& fileName, std::string& errorText) {
    EXMI::IExtensibleMachine* owningMachine = getMachine();
    Ptr<qrvn::core::Document> document = support::getActiveDocument();
    Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
    if (!cam) {
        errorText = "Could not find CAM Document.";
        return false;
    }
    const std::string baseName = documentName(document) + "_" + setupName(owningMachine->getSetup());
    filePath = support::makeTempFilePath("kalvixexport_", "3mf", 64);
    // The file exists from here on (made private); a failed export must not
    // leave it behind.
    TemporaryFile exported(filePath);
    fileName = baseName + ".3mf";
    if (!cam->export3MF(filePath, nullptr, nullptr, false, false)) {
        errorText = "Could not export 3MF data";
        return false;
    }
    exported.keep();
    return true;
}

bool StratavoxPalette::exportGCode(std::string& filePath, std::string& fileName, std::string& errorText,
                                   const std::string& printcoreOne, const std::string& materialOne,
                                   const std::string& printcoreTwo, const std::string& materialTwo) {
    EXMI::IExtensibleMachine* owningMachine = getMachine();
    Ptr<qrvn::core::Document> document = support::getActiveDocument();
    Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
    if (!cam) {
        errorText = "Could not find CAM Document.";
        return false;
    }
    Ptr<qrvn::cam::Setup> setup = owningMachine->getSetup();
    const std::string baseName = documentName(document) + "_" + setupName(setup);
    filePath = support::makeTempFilePath("kalvixexport_", "gcode", 64);
    TemporaryFile exported(filePath);  // unless post-processing succeeds
    fileName = baseName + ".gcode";
    // The post-processor writes programName + its extension into the
    // folder: exactly filePath.
    const std::string programName = support::fileName(filePath, false);
    const std::string outputFolder = support::folderOf(filePath);

    Ptr<qrvn::core::UserInterface> ui = support::getUserInterface();
    if (!ui) {
        errorText = "Could not find UI data.";
        return false;
    }

    std::string postPath = readPostProcessorPath();
    if (postPath.empty()) {
        Ptr<qrvn::core::FileDialog> dialog = required(ui->createFileDialog());
        dialog->setInitialDirectory(cam->systemPostFolder());
        dialog->setFilter("Postprocessor files (*.cps)");
        dialog->setMultiSelect(false);
        if (dialog->showOpen() == qrvn::core::DialogOK) postPath = dialog->fileName();
        if (postPath.empty()) {
            errorText = "Canceled post-processor selection.";
            return false;
        }
    }

    Ptr<qrvn::cam::PostProcessInput> postInput = required(
        qrvn::cam::PostProcessInput::create(programName, postPath, outputFolder, qrvn::cam::MillimetersOutput));
    Ptr<qrvn::core::NamedValues> properties = required(postInput->postProperties());
    properties->add("extruder1printcoreName", qrvn::core::ValueInput::createByString(printcoreOne));
    properties->add("extruder1Material", qrvn::core::ValueInput::createByString(materialOne));
    properties->add("extruder2printcoreName", qrvn::core::ValueInput::createByString(printcoreTwo));
    properties->add("extruder2Material", qrvn::core::ValueInput::createByString(materialTwo));
    postInput->setBooleanOption(false);

    const Ptr<qrvn::core::Base> setupObject = setup.query<qrvn::core::Base>();
    if (!cam->postProcess(setupObject, postInput)) {
        errorText = "Could not post-process toolpaths. Please regenerate toolpath before uploading!";
        return false;
    }
    exported.keep();
    return true;
}

std::string StratavoxPalette::readPostProcessorPath() {
    Ptr<qrvn::cam::CAM> cam = support::getCamProduct(support::getActiveDocument());
    Ptr<qrvn::cam::Setup> setup = getMachine()->getSetup();
    if (!cam || !setup) return std::string();
    Ptr<qrvn::cam::Machine> hostMachine = setup->machine();
    if (!hostMachine) return std::string();

    // The description is a scratch file: gone again however reading ends,
    // a parser error included.
    const TemporaryFile description(support::makeTempFilePath("machine_", ".machine", 64));
    hostMachine->exportToFile(qrvn::cam::MachineDescriptionExportFormat, description.getPath());

    std::vector<char> text;
    try {
        std::vector<uint8_t> bytes;
        support::readFile(description.getPath(), bytes);
        text.assign(bytes.begin(), bytes.end());
    } catch (const std::exception&) {
        // No description: the user is asked for a post-processor instead.
        text.clear();
    }
    text.push_back('\0');

    const std::string value = postProcessorOf(text);
    if (value.compare(0, 9, kSystemPrefix) == 0) return cam->systemPostFolder() + "/" + value.substr(9);
    return value;
}
