#pragma once
// StratavoxPalette: the palette behind "Upload to StrataVox Fabriqo". It
// shows the account server's sign-in page, catches the sign-in redirect,
// switches to the add-in's own page and lets that page drive the upload:
// it answers the page's messages, exports the design (3MF) or the toolpath
// (G-code) and hands the file to the cloud connector. It is also the
// connector's listener and turns its reports into page messages.
//
// Owns the connector (and through it the tokens and the current project).
// The connector keeps a plain pointer back to this palette, so whoever
// holds a share of the connector lets go of it before the palette goes
// (the vendor machine releases its commands first). Host user-interface
// thread only; the connector's callbacks arrive there through the request
// handler's processResponses (checked).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cloud/stratavox_connector.h"
#include "cloud/stratavox_url_interface.h"
#include "exmi/palette_base.h"
#include "support/sequence_checker.h"

class StratavoxPalette : public EXMI::PaletteBase, public EXMIImpl::IStratavoxURLInterface {
public:
    static const char* const kPaletteId;     // "StratavoxPalette"
    static const char* const kPaletteTitle;  // "Stratavox Fabriqo"
    static const char* const kLocalPage;     // "resources_html/index.html"
    static const char* const kClientId;

    StratavoxPalette(EXMI::IExtensibleMachine* owningMachine, std::string id, EXMI::CommandInfo commandInfo,
                     std::shared_ptr<EXMI::IAsyncHandler> handler);
    ~StratavoxPalette() override;

    const std::shared_ptr<EXMIImpl::CStratavoxFabriqoConnector>& getConnector() const { return connector; }

    // The add-in's own page when the connector can resume a sign-in (one
    // kept from an earlier run included); else the account server's sign-in
    // page, once after a sign-out behind the server's sign-out address
    // (/logoff).
    std::string getPaletteURL() override;
    void onNavigationEvent(const std::string& url) override;
    void onHTMLEvent(const EXMI::PaletteEvent& event) override;

    // Connector listener.
    void setScreen(int32_t screen, const std::string& text) override;
    void showFailure(const EXMIImpl::CloudFailure& failure) override;
    void setProjectList(const std::shared_ptr<EXMIImpl::CStratavoxFabriqoProjectList>& list,
                        const std::string& currentProjectId) override;
    void onSignedOut() override;
    void onUploadProgress(const std::string& phase, uint64_t sent, uint64_t total, uint64_t rate) override;

    // Exports into a fresh temporary file. On failure they return false
    // with a text for the error screen; a missing host object throws.
    bool export3MF(std::string& filePath, std::string& fileName, std::string& errorText);
    bool exportGCode(std::string& filePath, std::string& fileName, std::string& errorText,
                     const std::string& printcoreOne, const std::string& materialOne, const std::string& printcoreTwo,
                     const std::string& materialTwo);
    // The post-processor named by the setup machine's description; empty
    // when there is none (the user is asked instead).
    std::string readPostProcessorPath();

private:
    // What one upload hands to the connector.
    struct Upload {
        std::string filePath;
        std::string fileName;
        std::string contentType;
        std::string errorText = "could not export design";
        bool isPrintJob = false;
    };

    // Shows progress, exports (with a thumbnail of the active view when
    // asked) into the connector's new upload, which owns the files from then
    // on, and hands the result to `send`; failures reach the error screen.
    using Sender = std::function<void(const Upload&, const std::string& thumbnailPath)>;
    void exportAndSend(const EXMI::PaletteEvent& event, bool withThumbnail, const Sender& send);
    void uploadIntoNewProject(const EXMI::PaletteEvent& event);
    void uploadIntoProject(const EXMI::PaletteEvent& event);
    // Runs the export of the (known) upload type the page asked for; false
    // with upload.errorText set.
    bool exportForUpload(const EXMI::PaletteEvent& event, Upload& upload);
    // A thumbnail of the active view, empty when the host cannot make one.
    std::string saveThumbnail();
    void sendMaterials();
    std::shared_ptr<EXMIImpl::CStratavoxFabriqoConnector> connector;
    bool logOffFirst = false;
    // From a reload of the page until it says "apploaded": what the page
    // is sent meanwhile may be lost, so a failure shown then is shown again
    // once it has loaded (a sign-in the user turned down, say).
    bool pageLoading = false;
    std::optional<EXMIImpl::CloudFailure> failureWhileLoading;
    support::SequenceChecker uiThread;
};
