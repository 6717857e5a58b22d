// The two upload procedures of StratavoxPalette: into a new project (with a
// thumbnail of the active view) and into an existing one.
#include <exception>

#include "cloud/cloud_failure.h"
#include "stratavox/stratavox_palette.h"
#include "support/files.h"

namespace {

const char* const k3mfContentType = "application/vnd.ms-package.3dmanufacturing-3dmodel+xml";
const char* const kGCodeContentType = "text/plain";

}  // namespace

bool StratavoxPalette::exportForUpload(const EXMI::PaletteEvent& event, Upload& upload) {
    const std::string uploadType = event.get("uploadType");
    bool exported = true;
    if (uploadType == "design") {
        exported = export3MF(upload.filePath, upload.fileName, upload.errorText);
        upload.contentType = k3mfContentType;
        upload.isPrintJob = false;
    }
    if (uploadType == "toolpath") {
        exported = exportGCode(upload.filePath, upload.fileName, upload.errorText, event.get("printcoreOne"),
                               event.get("materialOne"), event.get("printcoreTwo"), event.get("materialTwo"));
        upload.contentType = kGCodeContentType;
        upload.isPrintJob = true;
    }
    return exported;
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
