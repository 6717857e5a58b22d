// The cloud side of the demo: sign-in through the account server's page,
// the page protocol of both uploads, the browser, sign-out, unloading, and
// what ended up in the emulator and the log.
#include <chrono>
#include <fstream>

#include "demo/browser_sign_in.h"
#include "demo/digest.h"
#include "demo/upload_demo_impl.h"

namespace demo {

namespace sim = qrvn::sim;

namespace {

bool isResultScreen(const PageMessage& message) {
    const std::string screen = screenOf(message);
    return screen == "successscreen" || screen == "errorscreen";
}

std::vector<std::string> lines(const std::string& text, const std::string& separator) {
    std::vector<std::string> result;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + separator.size()) {
        result.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) result.push_back(text.substr(start));
    return result;
}

std::string expectedName(const std::string& extension) {
    return std::string(kSampleDocument) + "_Stratavox Setup" + extension;
}

}  // namespace

bool UploadDemo::signIn() {
    auto palette = sim::findPalette(kPaletteId);
    const std::string start = palette ? palette->pageURL() : std::string();
    steps_.detail("web view: loads the sign-in page, fills in user \"" + settings_.user + "\" and the password");
    const SignInOutcome outcome =
        signInAsBrowser(*view_, start, services_.redirectUri, settings_.user, settings_.password);
    for (const std::string& address : outcome.navigations) steps_.detail("web view redirected to " + address);
    if (!steps_.check(outcome.ok && outcome.formSubmitted,
                      "the sign-in form was submitted and the account server redirected to the redirect address")) {
        steps_.detail(outcome.error);
        return false;
    }
    steps_.detail("the redirect is not loaded: the web view reports it to the palette as a navigation");
    // Every address the web view went to is a navigation of the palette,
    // just as the host reports them.
    for (const std::string& address : outcome.navigations) {
        if (!sim::navigatePalette(kPaletteId, address))
            return steps_.fail("the palette takes the navigation", "no palette");
    }
    const bool switched = waitUntil([] {
        auto p = sim::findPalette(kPaletteId);
        return p && p->pageURL() == kLocalPage;
    });
    return steps_.check(switched, "the palette caught the redirect and switched to " + std::string(kLocalPage));
}

bool UploadDemo::loadPage() {
    fromPage("apploaded", "{}");
    // The token answer and the project list come back on heartbeats.
    PageMessage list;
    const bool listed = waitForMessage([](const PageMessage& m) { return m.action == "projectlist"; }, list);
    const bool signOutShown = waitUntil([this] { return hasControl(kSignOutId); });
    showNewMessages();
    bool form = false, printer = false;
    for (const PageMessage& message : page_.seen()) {
        form = form || screenOf(message) == "uploadform";
        printer = printer || (message.action == "materials" && message.get("printer") == kDemoPrinter);
    }
    steps_.check(form, "the page was asked to show the upload form");
    steps_.check(printer, "the page was told the printer: " + std::string(kDemoPrinter));
    std::vector<ListedProject> projects;
    if (!steps_.check(listed && decodeProjectList(list.get("projectlist"), projects),
                      "the project list reached the page")) {
        return false;
    }
    steps_.detail("panel: " + panelContents());
    return steps_.check(signOutShown, "the sign-out button appeared on a heartbeat after sign-in");
}

bool UploadDemo::uploadDesign() {
    fromPage("createproject", jsonObject({{"projectName", kProjectName},
                                          {"projectDescription", "Uploaded by the end-to-end demo"},
                                          {"uploadType", "design"}}));
    PageMessage result;
    const bool finished = waitForMessage(isResultScreen, result);
    bool progress = false;
    for (const PageMessage& message : page_.seen()) progress = progress || screenOf(message) == "progressscreen";
    steps_.check(progress, "the page showed the progress screen");
    if (!steps_.check(finished && screenOf(result) == "successscreen", "the page shows the success screen")) {
        if (!finished) steps_.detail("neither the success nor the error screen came within the wait");
        return false;
    }
    projectId_ = result.get("projectid");
    const std::string local = localExport(".3mf").path;
    steps_.detail("exported " + local + " as \"" + expectedName(".3mf") + "\"");
    steps_.check(!projectId_.empty(), "the new project's id is " + projectId_);
    // The thumbnail goes out without the page waiting for it.
    return steps_.check(waitForHoldings([this](const Holdings& h) {
                            const HeldProject* p = h.project(projectId_);
                            return p && p->thumbnail.present;
                        }),
                        "the project's thumbnail reached the service");
}

bool UploadDemo::uploadToolpath() {
    fromPage("uploadanotherproject", "{}");
    PageMessage list;
    const bool listed = waitForMessage([](const PageMessage& m) { return m.action == "projectlist"; }, list);
    if (!steps_.check(listed && list.get("defaultprojectid") == projectId_,
                      "back on the form, the project list preselects the new project")) {
        return false;
    }
    fromPage("selectproject", jsonObject({{"projectID", projectId_},
                                          {"uploadType", "toolpath"},
                                          {"printcoreOne", "AA 0.4"},
                                          {"materialOne", "PLA"},
                                          {"printcoreTwo", "BB 0.8"},
                                          {"materialTwo", "PVA"}}));
    PageMessage result;
    const bool finished = waitForMessage(isResultScreen, result);
    if (!steps_.check(finished && screenOf(result) == "successscreen", "the page shows the success screen")) {
        if (!finished) steps_.detail("neither the success nor the error screen came within the wait");
        return false;
    }
    steps_.check(result.get("projectid") == projectId_, "the toolpath went into the same project");
    const qrvn::sim::WrittenFile exported = localExport(".gcode");
    const std::string& local = exported.path;
    const std::string& gcode = exported.bytes;
    steps_.detail("post-processed " + local + " as \"" + expectedName(".gcode") + "\"; its header:");
    for (const std::string& line : lines(gcode, "\n")) {
        if (line.rfind("; ", 0) == 0) steps_.detail("  " + line);
    }
    steps_.check(gcode.find("; post: " + sample_.postProcessor + "\n") != std::string::npos,
                 "the printer's post-processor from the system folder was used");
    return steps_.check(gcode.find("; property extruder1printcoreName = AA 0.4\n") != std::string::npos &&
                            gcode.find("; property extruder2Material = PVA\n") != std::string::npos,
                        "the print cores and materials chosen on the page are in the G-code");
}

bool UploadDemo::openInBrowser() {
    fromPage("openfabriqo", jsonObject({{"projectid", projectId_}}));
    // The browser is a program of its own: wait for its record.
    const bool opened = waitUntil([this] { return !browser_.opened().empty(); });
    const std::vector<std::string> addresses = browser_.opened();
    for (const std::string& address : addresses) steps_.detail("browser opened " + address);
    return steps_.check(opened &&
                            addresses.back() == services_.webApp + "project/" + projectId_ + "?wait_for_new_files=true",
                        "the browser was asked to open the project in the web application");
}

bool UploadDemo::closeHost() {
    unloadAddIn();
    return !addin_.isLoaded();
}

bool UploadDemo::startAgain() {
    if (!steps_.check(addin_.load(settings_.addinPath) && addin_.run(), "the add-in is loaded again and runs")) {
        steps_.detail(addin_.error());
        return false;
    }
    const std::vector<std::string> expected = {kUploadId, kOpenId};
    const bool shown = waitUntil([&expected] {
        const std::vector<std::string> ids = sim::controlIds(kPanelId);
        return ids.size() >= 2 && ids[0] == expected[0] && ids[1] == expected[1];
    });
    steps_.detail("panel: " + panelContents());
    return steps_.check(shown, "the upload and open buttons are back for the vendor's setup") &&
           steps_.check(sim::pressControl(kUploadId, kPanelId), "the upload button starts its command") &&
           steps_.check(static_cast<bool>(sim::findPalette(kPaletteId)), "the palette is open");
}

bool UploadDemo::startSignedIn() {
    if (!startAgain()) return false;
    const std::string address = sim::findPalette(kPaletteId)->pageURL();
    steps_.detail("palette shows " + address);
    if (!steps_.check(address == kLocalPage, "it opens on the add-in's own page, not on the sign-in page")) {
        return false;
    }
    fromPage("apploaded", "{}");
    // The kept refresh token is renewed silently; the form and the list follow.
    PageMessage form, list;
    const bool formShown = waitForMessage([](const PageMessage& m) { return screenOf(m) == "uploadform"; }, form);
    steps_.check(formShown, "the page was asked to show the upload form");
    const bool listed =
        formShown && waitForMessage([](const PageMessage& m) { return m.action == "projectlist"; }, list);
    std::vector<ListedProject> projects;
    if (!steps_.check(listed && decodeProjectList(list.get("projectlist"), projects),
                      "the project list reached the page")) {
        return false;
    }
    bool found = false;
    for (const ListedProject& project : projects) found = found || project.name == kProjectName;
    steps_.check(found, "it lists \"" + std::string(kProjectName) + "\" from the first start");
    return steps_.check(waitUntil([this] { return hasControl(kSignOutId); }), "the sign-out button is there");
}

bool UploadDemo::startSignedOut() {
    unloadAddIn();
    if (!startAgain()) return false;
    const std::string address = sim::findPalette(kPaletteId)->pageURL();
    steps_.detail("palette shows " + address);
    return steps_.check(address.rfind(services_.accountServer + "/authorize?", 0) == 0,
                        "it shows the account server's sign-in address again");
}

bool UploadDemo::signOut() {
    if (!steps_.check(hasControl(kSignOutId), "the sign-out button is there")) return false;
    sim::clearMessageBoxes();
    if (!steps_.check(sim::pressControl(kSignOutId, kPanelId), "the sign-out button starts its command")) return false;
    for (const auto& box : sim::messageBoxes()) steps_.detail("message box \"" + box.title + "\": " + box.text);
    const auto boxes = sim::messageBoxes();
    steps_.check(boxes.size() == 1 &&
                     boxes[0].text ==
                         "Successfully signed out from StrataVox Fabriqo. The sign-in is forgotten on this computer.",
                 "the user is told the sign-out succeeded");
    steps_.check(!sim::findPalette(kPaletteId), "the palette was closed");
    const bool gone = waitUntil([this] { return !hasControl(kSignOutId); });
    steps_.detail("panel: " + panelContents());
    return steps_.check(gone, "the sign-out button went away on the next heartbeat");
}

void UploadDemo::unloadAddIn() {
    steps_.check(addin_.stop(), "stop() returned true");
    steps_.check(sim::definitionIds().empty(), "no command definition of the add-in is left");
    steps_.check(sim::controlIds(kPanelId).empty(), "the Stratavox panel is empty");
    const std::vector<std::string> failures = sim::handlerFailures();
    for (const std::string& failure : failures) steps_.detail("escaped into the host: " + failure);
    steps_.check(failures.empty(), "no exception reached the host");
    addin_.unload();
    steps_.check(!addin_.isLoaded(), "the library is unloaded");
}

void UploadDemo::showHoldings() {
    if (!view_) {
        steps_.skipped("no emulator to ask");
        return;
    }
    Holdings holdings;
    std::string error;
    if (!steps_.check(fetchHoldings(holdings, error), "the emulator reports its state")) {
        steps_.detail(error);
        return;
    }
    printHoldings(steps_.out(), holdings, "         ");
    if (projectId_.empty()) return;
    const HeldProject* project = holdings.project(projectId_);
    if (!steps_.check(project && project->name == kProjectName,
                      "project \"" + std::string(kProjectName) + "\" (" + projectId_ + ") exists")) {
        return;
    }
    const qrvn::sim::WrittenFile thumbnail = localExport(".jpg");
    steps_.check(project->thumbnail.present && project->thumbnail.contentType == "image/jpeg" &&
                     project->thumbnail.width == 800 && project->thumbnail.height == 600 &&
                     project->thumbnail.sha256 == sha256OfBytes(thumbnail.bytes),
                 "its thumbnail is the 800x600 JPEG of the active view, byte for byte");
    struct Expected {
        const char* kind;
        const char* extension;
        const char* contentType;
    };
    const Expected expected[] = {{"file", ".3mf", k3mfType}, {"job", ".gcode", "text/plain"}};
    const std::vector<HeldFile> files = holdings.filesOf(projectId_);
    for (const Expected& want : expected) {
        const qrvn::sim::WrittenFile local = localExport(want.extension);
        bool found = false;
        for (const HeldFile& file : files) {
            found = found || (file.kind == want.kind && file.name == expectedName(want.extension) &&
                              file.contentType == want.contentType && !local.path.empty() &&
                              file.sha256 == sha256OfBytes(local.bytes));
        }
        steps_.check(found, "\"" + expectedName(want.extension) + "\" (" + want.contentType +
                                ") is stored, byte for byte as exported");
    }
    steps_.check(files.size() == 2, "the project holds exactly those two files");
}

void UploadDemo::showLog() {
    steps_.detail("log file: " + settings_.logPath);
    if (!addinRan_) {
        steps_.detail("the add-in did not run, so it wrote nothing");
        return;
    }
    std::ifstream in(settings_.logPath, std::ios::binary);
    if (!steps_.check(static_cast<bool>(in), "the add-in wrote its log")) return;
    in.seekg(static_cast<std::streamoff>(logOffset_));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<std::string> written = lines(text, "\r\n");
    steps_.detail(std::to_string(written.size()) + " lines written by this run");
    size_t fatal = 0;
    for (const std::string& line : written) {
        if (line.find("| fatal error:") == std::string::npos && line.find("| Failed ") == std::string::npos) continue;
        ++fatal;
        steps_.detail(line);
    }
    steps_.check(fatal == 0, "no \"fatal error\" or \"Failed\" line in the log");
}

bool UploadDemo::fetchHoldings(Holdings& holdings, std::string& error) {
    const WebResponse response = view_->get(services_.accountServer + "/_emulator/state");
    if (!response.transferred) {
        error = response.error;
        return false;
    }
    if (response.status != 200) {
        error = "HTTP " + std::to_string(response.status);
        return false;
    }
    return parseHoldings(response.body, holdings, error);
}

bool UploadDemo::waitForHoldings(const std::function<bool(const Holdings&)>& condition) {
    auto lastAsked = std::chrono::steady_clock::time_point();
    return waitUntil([&] {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastAsked < std::chrono::milliseconds(100)) return false;
        lastAsked = now;
        Holdings holdings;
        std::string error;
        return fetchHoldings(holdings, error) && condition(holdings);
    });
}

}  // namespace demo
