#pragma once
// UploadDemo: the state of one run of the end-to-end demo (see
// upload_demo.h). Owns the simulated host session, the loaded add-in, the
// web view used for signing in, the stand-in browser, the page watcher and
// what the run learnt on the way (document, setup, project id). Its stages
// run in order on the calling thread, the host's UI thread; the stages
// live in upload_demo.cpp (host side) and upload_demo_cloud.cpp (cloud
// side).

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "demo/environment.h"
#include "demo/holdings.h"
#include "demo/page_messages.h"
#include "demo/recording_browser.h"
#include "demo/sample_host.h"
#include "demo/steps.h"
#include "demo/upload_demo.h"
#include "demo/web_view.h"
#include "host/qrvn.h"
#include "simhost/sim/sim.h"

namespace demo {

inline const char* const kPaletteId = "StratavoxPalette";
inline const char* const kPanelId = "StratavoxPanel";
inline const char* const kUploadId = "StrataVox Fabriqo";
inline const char* const kOpenId = "StratavoxOpenSVQCommand";
inline const char* const kSignOutId = "StratavoxSignoutCommand";
inline const char* const kLocalPage = "resources_html/index.html";
inline const char* const kProjectName = "Demo Bracket";
inline const char* const k3mfType = "application/vnd.ms-package.3dmanufacturing-3dmodel+xml";

class UploadDemo {
public:
    UploadDemo(const DemoSettings& settings, std::ostream& out);
    int run();

private:
    // Host side.
    bool startHost();
    bool openDesign();
    bool createSetup();
    bool enterManufacturing();
    bool openPalette();
    // Cloud side.
    bool signIn();
    bool loadPage();
    bool uploadDesign();
    bool uploadToolpath();
    bool openInBrowser();
    // Staying signed in: the host closes and starts again.
    bool closeHost();
    bool startSignedIn();
    bool signOut();
    bool startSignedOut();
    // Loads and runs the add-in again, as a new start of the host does,
    // and waits for its buttons.
    bool startAgain();
    // Always, whatever failed before.
    void unloadAddIn();
    void showHoldings();
    void showLog();

    // Pumps the UI thread until `condition` holds or the wait is over.
    bool waitUntil(const std::function<bool()>& condition);
    // Prints the page messages that arrived since the last look.
    void showNewMessages();
    // Pumps, printing page messages as they arrive, until one that `wanted`
    // accepts has arrived; it is copied to `found`.
    bool waitForMessage(const std::function<bool(const PageMessage&)>& wanted, PageMessage& found);
    // Sends a page message and prints it.
    void fromPage(const std::string& action, const std::string& data);
    bool fetchHoldings(Holdings& holdings, std::string& error);
    // Pumps until the emulator's holdings satisfy `condition` (asked at most
    // ten times a second).
    bool waitForHoldings(const std::function<bool(const Holdings&)>& condition);
    // The newest export with this extension the host wrote into the
    // add-in's temporary folder, as written: the add-in deletes the file
    // once it is uploaded.
    qrvn::sim::WrittenFile localExport(const std::string& extension) const;
    std::string exportFolder() const;
    bool hasControl(const std::string& controlId) const;
    std::string panelContents() const;

    const DemoSettings& settings_;
    Steps steps_;
    ServiceAddresses services_;
    bool servicesKnown_ = false;
    std::string missingServices_;
    std::uintmax_t logOffset_ = 0;
    ScopedVariable tmpdir_;
    RecordingBrowser browser_;
    std::unique_ptr<WebView> view_;
    qrvn::sim::Session host_;
    qrvn::sim::AddIn addin_;  // unloaded before the host ends
    PageWatcher page_{kPaletteId};
    SampleHost sample_;
    qrvn::core::Ptr<qrvn::kalvix::KalvixDocument> document_;
    qrvn::core::Ptr<qrvn::cam::Setup> setup_;
    std::string projectId_;
    bool addinRan_ = false;
};

// A JSON object of string members, as the page writes its messages.
std::string jsonObject(const std::vector<std::pair<std::string, std::string>>& members);

}  // namespace demo
