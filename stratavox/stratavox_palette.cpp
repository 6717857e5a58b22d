#include "stratavox/stratavox_palette.h"

#include <exception>
#include <stdexcept>

#include "cloud/service_configuration.h"
#include "support/document.h"
#include "support/encoding.h"
#include "support/files.h"
#include "support/log.h"
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
    return connector->getAuthorizeUrl(false);
}

void StratavoxPalette::onNavigationEvent(const std::string& url) { connector->handleRedirect(url); }

void StratavoxPalette::onHTMLEvent(const EXMI::PaletteEvent& event) {
    uiThread.check("StratavoxPalette");
    const std::string& action = event.action;
    if (action == "auth") {
        onNavigationEvent(event.get("url"));
    } else if (action == "messagedlg") {
        // The page's text goes into the log only: escaped, it cannot forge lines.
        support::logAndNotify(support::escapeForLog(event.get("message")), support::escapeForLog(event.get("title")),
                              false, 2);
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
        if (connector->isSignedIn()) connector->showUploadForm();
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
    case kScreenReloadPage: setPaletteURL(kLocalPage); break;
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
