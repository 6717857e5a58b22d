#include "stratavox/stratavox_palette.h"

#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "cloud/cloud_failure.h"
#include "cloud/service_configuration.h"
#include "exmi/extensible_machine.h"
#include "support/document.h"
#include "support/encoding.h"
#include "support/files.h"
#include "support/log.h"
#include "support/require.h"
#include "support/text.h"

const char* const StratavoxPalette::kPaletteId = "StratavoxPalette";
const char* const StratavoxPalette::kPaletteTitle = "Stratavox Fabriqo";
const char* const StratavoxPalette::kLocalPage = "resources_html/index.html";
const char* const StratavoxPalette::kClientId = "sv-----------------------quorvane_kalvix_app";

StratavoxPalette::StratavoxPalette(EXMI::IExtensibleMachine* owningMachine, std::string id,
                                   EXMI::CommandInfo commandInfo, std::shared_ptr<EXMI::IAsyncHandler> handler)
    : EXMI::PaletteBase(owningMachine, std::move(id), std::move(commandInfo), kPaletteId, kPaletteTitle, handler) {
    uiThread.check("StratavoxPalette");
    connector = std::make_shared<EXMIImpl::CStratavoxFabriqoConnector>(
        kClientId, EXMIImpl::ServiceConfiguration::fromEnvironment().redirectUri, this, handler);
    for (const char* scope : {"account.user.read", "plyx.mesh.write", "library.project.write", "library.project.read",
                              "plyx.printjob.write"}) {
        connector->addScope(scope);
    }
}

// An upload still running is abandoned with the connector; its exports go
// once its worker has closed them.
StratavoxPalette::~StratavoxPalette() { uiThread.check("StratavoxPalette"); }

std::string StratavoxPalette::getPaletteURL() {
    if (logOffFirst) {
        logOffFirst = false;
        return connector->getAuthorizeUrl(true);
    }
    // A remembered sign-in: the page waits on "Finishing sign-in" while
    // the connector renews it.
    if (connector->resumeSignIn()) {
        pageLoading = true;
        failureWhileLoading.reset();
        return kLocalPage;
    }
    return connector->getAuthorizeUrl(false);
}

void StratavoxPalette::onNavigationEvent(const std::string& url) { connector->handleRedirect(url); }

void StratavoxPalette::onHTMLEvent(const EXMI::PaletteEvent& event) {
    uiThread.check("StratavoxPalette");
    const std::string& action = event.action;
    if (action == "auth") {
        onNavigationEvent(event.get("url"));
    } else if (action == "messagedlg") {
        // The page's text goes into the log only (which keeps it from
        // starting a record of its own).
        support::logAndNotify(event.get("message"), event.get("title"), false, 2);
    } else if (action == "createproject" || action == "selectproject") {
        // The page keeps showing the upload that runs.
        if (connector->isUploading()) {
            support::log("an upload is running; \"" + action + "\" refused", "StratavoxPalette::onHTMLEvent");
            return;
        }
        if (action == "createproject") uploadIntoNewProject(event);
        else uploadIntoProject(event);
    } else if (action == "cancelupload") {
        connector->cancelUpload();
    } else if (action == "openfabriqo") {
        connector->openWebApp(event.get("projectid"));
    } else if (action == "apploaded") {
        pageLoading = false;
        if (failureWhileLoading) {
            const EXMIImpl::CloudFailure failure = *failureWhileLoading;
            failureWhileLoading.reset();
            showFailure(failure);
        } else if (connector->isSignedIn()) {
            connector->showUploadForm();
        }
        sendMaterials();
    } else if (action == "uploadanotherproject") {
        if (connector->isSignedIn()) {
            connector->showUploadForm();
        } else {
            setPaletteURL(getPaletteURL());
        }
    }
}

void StratavoxPalette::setScreen(int32_t screen, const std::string& text) {
    switch (screen) {
    case kScreenSignIn:
        pageLoading = false;
        setPaletteURL(getPaletteURL());
        break;
    case kScreenReloadPage:
        pageLoading = true;
        failureWhileLoading.reset();
        setPaletteURL(kLocalPage);
        break;
    case kScreenUploadForm: {
        EXMI::PaletteEvent message("navigate");
        if (!text.empty()) message.set("projectid", text);
        message.set("target", "uploadform");
        sendEvent(message);
        break;
    }
    case kScreenProgress: {
        EXMI::PaletteEvent message("navigate");
        message.set("target", "progressscreen");
        sendEvent(message);
        break;
    }
    case kScreenSuccess: {
        EXMI::PaletteEvent message("navigate");
        message.set("target", "successscreen");
        message.set("projectid", text);
        sendEvent(message);
        break;
    }
    default: break;
    }
}

void StratavoxPalette::showFailure(const EXMIImpl::CloudFailure& failure) {
    if (pageLoading) failureWhileLoading = failure;
    EXMI::PaletteEvent message("navigate");
    message.set("errormessage", failure.message);
    message.set("kind", failure.kind);
    if (!failure.projectId.empty()) message.set("projectid", failure.projectId);
    if (failure.status != 0) message.set("status", std::to_string(failure.status));
    message.set("target", "errorscreen");
    sendEvent(message);
}

void StratavoxPalette::setProjectList(const std::shared_ptr<EXMIImpl::CStratavoxFabriqoProjectList>& list,
                                      const std::string& currentProjectId) {
    if (!list) throw std::runtime_error("invalid parameter");
    EXMI::PaletteEvent message("projectlist");
    // Percent-encoded so that any project name survives the page's bridge
    // unchanged; the page decodes it.
    message.set("projectlist", support::percentEncodeUri(list->toJson()));
    if (!currentProjectId.empty()) message.set("defaultprojectid", currentProjectId);
    sendEvent(message);
}

void StratavoxPalette::onUploadProgress(const std::string& phase, uint64_t sent, uint64_t total, uint64_t rate) {
    EXMI::PaletteEvent message("uploadprogress");
    message.set("phase", phase);
    message.set("sent", std::to_string(sent));
    message.set("total", std::to_string(total));
    message.set("rate", std::to_string(rate));
    sendEvent(message);
}

void StratavoxPalette::onSignedOut() {
    logOffFirst = true;
    closePaletteIfOpen();
}

void StratavoxPalette::sendMaterials() {
    qrvn::core::Ptr<qrvn::cam::CAM> cam = support::getCamProduct(support::getActiveDocument());
    if (!cam) return;
    EXMI::PaletteEvent message("materials");
    qrvn::core::Ptr<qrvn::cam::Setups> setups = cam->setups();
    if (!setups) throw std::runtime_error("could not access CAM setups");
    const size_t count = setups->count();
    for (size_t index = 0; index < count; ++index) {
        qrvn::core::Ptr<qrvn::cam::Setup> setup = setups->item(index);
        if (!setup || !setup->isActive()) continue;
        qrvn::core::Ptr<qrvn::cam::Machine> printer = setup->machine();
        if (printer) message.set("printer", printer->name());  // the first active setup wins
    }
    sendEvent(message);
}

// Uploads: into a new project (with a thumbnail of the active view) and into
// an existing one.

namespace {

const char* const k3mfContentType = "application/vnd.ms-package.3dmanufacturing-3dmodel+xml";
const char* const kGCodeContentType = "text/plain";

}  // namespace

bool StratavoxPalette::exportForUpload(const EXMI::PaletteEvent& event, Upload& upload) {
    if (event.get("uploadType") == "design") {
        upload.contentType = k3mfContentType;
        upload.isPrintJob = false;
        return export3MF(upload.filePath, upload.fileName, upload.errorText);
    }
    upload.contentType = kGCodeContentType;
    upload.isPrintJob = true;
    return exportGCode(upload.filePath, upload.fileName, upload.errorText, event.get("printcoreOne"),
                       event.get("materialOne"), event.get("printcoreTwo"), event.get("materialTwo"));
}

std::string StratavoxPalette::saveThumbnail() {
    qrvn::core::Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    if (!app) return std::string();
    qrvn::core::Ptr<qrvn::core::Viewport> view = app->activeView();
    if (!view) return std::string();
    const std::string path = support::makeTempFilePath("kalvixexport_", "jpg", 64);
    return view->saveImage(path, 800, 600) ? path : std::string();
}

void StratavoxPalette::exportAndSend(const EXMI::PaletteEvent& event, bool withThumbnail, const Sender& send) {
    // A kind the add-in does not know is refused before anything is made.
    const std::string uploadType = event.get("uploadType");
    if (uploadType != "design" && uploadType != "toolpath") {
        const std::string problem = "unknown upload type: " + uploadType;
        support::log(problem, "StratavoxPalette::exportAndSend");
        showFailure(EXMIImpl::localFailure("local", problem));
        return;
    }
    Upload upload;
    // The upload owns every file made for it from here on: they go when it
    // has ended and nothing reads them any more.
    EXMIImpl::CStratavoxFabriqoUpload& running = connector->beginUpload();
    setScreen(kScreenProgress, "");
    running.reportProgress(false);
    // Whatever fails from here on, the page must not stay on the progress
    // screen; the error still goes on to the palette's log line.
    try {
        const std::string thumbnailPath = withThumbnail ? saveThumbnail() : std::string();
        running.adoptFile(thumbnailPath);
        const bool exported = exportForUpload(event, upload);
        running.adoptFile(upload.filePath);
        if (exported) {
            send(upload, thumbnailPath);
        } else {
            connector->abandonUpload();
            showFailure(EXMIImpl::localFailure("file", upload.errorText));
        }
    } catch (const std::exception& e) {
        // An upload that was never sent ends here, with what it exported.
        EXMIImpl::CStratavoxFabriqoUpload* unsent = connector->getUpload();
        if (unsent && unsent->getPhase() == "exporting") {
            unsent->adoptFile(upload.filePath);
            connector->abandonUpload();
        }
        try {
            showFailure(EXMIImpl::localFailure("local", e.what()));
        } catch (const std::exception&) {
            // The original failure is the one worth reporting.
        }
        throw;
    }
}

void StratavoxPalette::uploadIntoNewProject(const EXMI::PaletteEvent& event) {
    const std::string projectName = event.get("projectName");
    const std::string projectDescription = event.get("projectDescription");
    exportAndSend(event, true, [&](const Upload& upload, const std::string& thumbnailPath) {
        connector->createProject(projectName, projectDescription, upload.filePath, upload.fileName, upload.contentType,
                                 thumbnailPath, upload.isPrintJob);
    });
}

void StratavoxPalette::uploadIntoProject(const EXMI::PaletteEvent& event) {
    const std::string projectId = event.get("projectID");
    exportAndSend(event, false, [&](const Upload& upload, const std::string&) {
        connector->uploadToProject(projectId, upload.filePath, upload.fileName, upload.contentType, upload.isPrintJob);
    });
}

// Exports of the design (3MF) and of the setup's toolpath (G-code) into the
// add-in's temporary folder, and the post-processor named by the machine
// description.

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
