#include "demo/upload_demo.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <filesystem>

#include "demo/upload_demo_impl.h"
#include "support/files.h"

namespace demo {

namespace sim = qrvn::sim;
using qrvn::core::Ptr;

namespace {

const char* const kDesignWorkspace = "KalvixSolidEnvironment";
const char* const kCamWorkspace = "CAMEnvironment";
const char* const kCreateSetupControl = "CreateStratavoxSetupCommandSolid";
const char* const kCreateSetupPanel = "3dPrintPanel_Design";
const char* const kPrinterInput = "StratavoxPrinterSelection";
const char* const kSettingsInput = "StratavoxPrintSettingsSelection";
const char* const kSetupName = "Stratavox Setup";

std::string joined(const std::vector<std::string>& texts) {
    std::string text;
    for (const std::string& item : texts) text += (text.empty() ? "" : ", ") + ("\"" + item + "\"");
    return text.empty() ? "(none)" : text;
}

std::uintmax_t fileSize(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

}  // namespace

std::string jsonObject(const std::vector<std::pair<std::string, std::string>>& members) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    for (const auto& member : members) {
        writer.Key(member.first.c_str(), static_cast<rapidjson::SizeType>(member.first.size()));
        writer.String(member.second.c_str(), static_cast<rapidjson::SizeType>(member.second.size()));
    }
    writer.EndObject();
    return buffer.GetString();
}

int runUploadDemo(const DemoSettings& settings, std::ostream& out) {
    UploadDemo demo(settings, out);
    return demo.run();
}

UploadDemo::UploadDemo(const DemoSettings& settings, std::ostream& out)
    : settings_(settings), steps_(out), logOffset_(fileSize(settings.logPath)),
      tmpdir_(kTempFolderVariable, settings.workFolder), browser_(settings.workFolder) {}

int UploadDemo::run() {
    std::ostream& out = steps_.out();
    out << "StrataVox Fabriqo upload, end to end, on the simulated host\n";
    servicesKnown_ = readServiceAddresses(services_, missingServices_);
    if (servicesKnown_) {
        out << "  account server  " << services_.accountServer << "\n"
            << "  cloud API       " << services_.apiBase << "\n"
            << "  web application " << services_.webApp << "\n"
            << "  redirect        " << services_.redirectUri << "\n"
            << "  trusted CA      " << services_.caBundle << "\n";
        view_ = std::make_unique<WebView>(services_.caBundle);
    }
    out << "  add-in          " << settings_.addinPath << "\n"
        << "  work folder     " << settings_.workFolder << " (exports, post-processors, browser record)\n";

    struct Stage {
        const char* title;
        bool (UploadDemo::*run)();
    };
    const Stage stages[] = {
        {"Start the host and load the add-in", &UploadDemo::startHost},
        {"Open the sample design", &UploadDemo::openDesign},
        {"Create Setup with the vendor's printer", &UploadDemo::createSetup},
        {"The manufacturing workspace", &UploadDemo::enterManufacturing},
        {"Press \"Upload to StrataVox Fabriqo\"", &UploadDemo::openPalette},
        {"Sign in on the account server's page", &UploadDemo::signIn},
        {"The local page loads", &UploadDemo::loadPage},
        {"Upload the design as 3MF into a new project", &UploadDemo::uploadDesign},
        {"Upload the toolpath as G-code into the same project", &UploadDemo::uploadToolpath},
        {"Open the project in the browser", &UploadDemo::openInBrowser},
        {"Close the host: the add-in stops and is unloaded", &UploadDemo::closeHost},
        {"Start the host again: the sign-in is remembered", &UploadDemo::startSignedIn},
        {"Sign out", &UploadDemo::signOut},
        {"Start the host again: the sign-in page comes back", &UploadDemo::startSignedOut},
    };
    bool going = true;
    for (const Stage& stage : stages) {
        if (!going) {
            steps_.skipped(stage.title);
            continue;
        }
        steps_.stage(stage.title);
        going = (this->*stage.run)();
    }
    if (addin_.isLoaded()) {
        steps_.stage("Unload the add-in (stop)");
        unloadAddIn();
    }
    steps_.stage("What the emulator holds");
    showHoldings();
    steps_.stage("The add-in's log");
    showLog();

    out << "\n";
    if (steps_.failures() == 0) {
        out << "All " << steps_.checks() << " checks passed.\n";
    } else {
        out << steps_.failures() << " of " << steps_.checks() << " checks FAILED.\n";
    }
    return steps_.failures();
}

// ---- host side --------------------------------------------------------------------

bool UploadDemo::startHost() {
    if (!steps_.check(servicesKnown_, "the emulator's addresses are in the environment")) {
        steps_.detail("missing: " + missingServices_ + " (scripts/demo starts the emulator and exports them)");
        return false;
    }
    steps_.check(browser_.ready(), browser_.description());
    steps_.detail("the host's libraries and files before the add-in is loaded:");
    sample_ = prepareSampleHost(settings_.workFolder, steps_);
    if (!steps_.check(!sample_.postFolder.empty() && sample_.design.isValid(),
                      "printers, print settings, the vendor's post-processor and the sample design are in place")) {
        return false;
    }
    if (!steps_.check(addin_.load(settings_.addinPath), "the add-in is loaded with dlopen; it exports run and stop")) {
        steps_.detail(addin_.error());
        return false;
    }
    addinRan_ = addin_.run();
    if (!steps_.check(addinRan_, "run() returned true")) return false;
    const auto panels = sim::panelsWithControl(kCreateSetupControl);
    return steps_.check(!panels.empty(), "Create Setup's button is in the design workspace (panel " +
                                             (panels.empty() ? std::string("none") : panels.front()) + ")");
}

bool UploadDemo::openDesign() {
    document_ = sim::openDocument(sample_.design);
    if (!steps_.check(static_cast<bool>(document_), "the sample design opens")) return false;
    steps_.detail("document \"" + document_->name() + "\" is active");
    if (sim::activeWorkspaceId() != kDesignWorkspace) sim::activateWorkspace(kDesignWorkspace);
    return steps_.check(sim::activeWorkspaceId() == kDesignWorkspace, "the design workspace is active");
}

bool UploadDemo::createSetup() {
    if (!steps_.check(sim::pressControl(kCreateSetupControl, kCreateSetupPanel),
                      "\"Create Stratavox Setup\" starts from the Solid tab")) {
        return false;
    }
    const std::vector<std::string> printers = sim::dropDownItems(kPrinterInput);
    const std::vector<std::string> settings = sim::dropDownItems(kSettingsInput);
    steps_.detail("printers offered:       " + joined(printers));
    steps_.detail("print settings offered: " + joined(settings));
    steps_.check(printers == std::vector<std::string>{kDemoPrinter, "Stratavox S7"},
                 "only the vendor's printers are offered");
    steps_.detail("the user picks \"" + std::string(kDemoPrinter) + "\" and \"" + kDemoPrintSetting + "\", then OK");
    if (!steps_.check(sim::pickDropDownItem(kPrinterInput, kDemoPrinter) &&
                          sim::pickDropDownItem(kSettingsInput, kDemoPrintSetting),
                      "both picks are taken")) {
        sim::cancelCommand();
        return false;
    }
    if (!steps_.check(sim::okCommand(), "OK is accepted")) return false;
    auto cam = document_->products()->itemByProductType("CAMProductType").query<qrvn::cam::CAM>();
    setup_ = cam ? cam->setups()->itemByName(kSetupName) : Ptr<qrvn::cam::Setup>();
    if (!steps_.check(static_cast<bool>(setup_), "the additive setup \"" + std::string(kSetupName) + "\" exists")) {
        return false;
    }
    const std::string machine = setup_->machine() ? setup_->machine()->name() : "none";
    steps_.detail("setup \"" + setup_->name() + "\": machine " + machine + ", print setting " +
                  (setup_->printSetting() ? setup_->printSetting()->name() : std::string("none")));
    return steps_.check(machine == kDemoPrinter, "the setup uses " + std::string(kDemoPrinter));
}

bool UploadDemo::enterManufacturing() {
    if (sim::activeWorkspaceId() != kCamWorkspace) {
        steps_.detail("switching to the manufacturing workspace");
        sim::activateWorkspace(kCamWorkspace);
    }
    if (!steps_.check(sim::activeWorkspaceId() == kCamWorkspace, "the manufacturing workspace is active")) {
        return false;
    }
    const std::vector<std::string> expected = {kUploadId, kOpenId};
    const bool shown = waitUntil([&expected] { return sim::controlIds(kPanelId) == expected; });
    auto panel = sim::findPanel(kPanelId);
    if (panel) {
        steps_.detail("tab " + panel->parentTab()->id() + ", panel \"" + panel->name() + "\": " + panelContents());
    }
    if (!steps_.check(shown, "the upload and open buttons appeared for the vendor's setup")) return false;

    // The user generates the toolpath; post-processing needs it up to date.
    sim::setToolpathValid(setup_, true);
    steps_.detail("toolpath of \"" + setup_->name() + "\" generated; the printer's post is " + sample_.postProcessor);
    return true;
}

bool UploadDemo::openPalette() {
    if (!steps_.check(sim::pressControl(kUploadId, kPanelId), "the upload button starts its command")) return false;
    auto palette = sim::findPalette(kPaletteId);
    if (!steps_.check(static_cast<bool>(palette), "the palette \"" + std::string(kPaletteId) + "\" is open")) {
        return false;
    }
    const std::string address = palette->pageURL();
    steps_.detail("palette \"" + palette->name() + "\" shows " + address);
    return steps_.check(address.rfind(services_.accountServer + "/authorize?", 0) == 0,
                        "it shows the account server's sign-in address with the PKCE challenge");
}

// ---- helpers ----------------------------------------------------------------------

bool UploadDemo::waitUntil(const std::function<bool()>& condition) { return sim::runUntil(condition, settings_.wait); }

void UploadDemo::showNewMessages() {
    for (const PageMessage& message : page_.takeNew()) steps_.detail("page <- " + describe(message));
}

bool UploadDemo::waitForMessage(const std::function<bool(const PageMessage&)>& wanted, PageMessage& found) {
    return waitUntil([&] {
        bool arrived = false;
        for (const PageMessage& message : page_.takeNew()) {
            steps_.detail("page <- " + describe(message));
            if (!arrived && wanted(message)) {
                found = message;
                arrived = true;
            }
        }
        return arrived;
    });
}

void UploadDemo::fromPage(const std::string& action, const std::string& data) {
    steps_.detail("page -> " + action + " " + data);
    sim::sendFromPage(kPaletteId, action, data);
}

bool UploadDemo::hasControl(const std::string& controlId) const {
    for (const std::string& id : sim::controlIds(kPanelId)) {
        if (id == controlId) return true;
    }
    return false;
}

std::string UploadDemo::panelContents() const {
    std::string text;
    for (const std::string& id : sim::controlIds(kPanelId)) {
        auto definition = sim::findDefinition(id);
        text += (text.empty() ? "" : " ") + ("[" + (definition ? definition->name() : id) + "]");
    }
    return text.empty() ? "(empty)" : text;
}

// The add-in's own name for it: the user's folder in the temporary folder.
std::string UploadDemo::exportFolder() const { return settings_.workFolder + "/" + support::tempFolderName(); }

qrvn::sim::WrittenFile UploadDemo::localExport(const std::string& extension) const {
    qrvn::sim::WrittenFile newest;
    // Compared as paths: Windows names the temporary folder with backslashes.
    const std::filesystem::path folder = std::filesystem::u8path(exportFolder()).lexically_normal();
    for (const auto& file : qrvn::sim::writtenFiles()) {
        const std::filesystem::path path = std::filesystem::u8path(file.path);
        if (path.parent_path().lexically_normal() == folder &&
            path.filename().u8string().rfind("kalvixexport_", 0) == 0 && path.extension() == extension) {
            newest = file;
        }
    }
    return newest;
}

}  // namespace demo
