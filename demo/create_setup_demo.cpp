// Demonstration of the Create Setup command on the simulated host: the
// command is registered in the design workspace, started from the Solid
// tab on a two-level assembly, a vendor printer and print setting are
// picked, and OK creates the manufacturing model and the additive setup.
// A second run of the command with an empty printer list shows a failure
// being contained and logged. Prints a transcript and the log lines this
// run wrote; exits with 1 when an expected outcome is missing.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "createsetup/create_setup.h"
#include "createsetup/toolbar_modes.h"
#include "demo/environment.h"
#include "demo/transcript.h"
#include "host/qrvn.h"
#include "simhost/sim/sim.h"
#include "support/log.h"

namespace {

using qrvn::core::Ptr;
namespace cam = qrvn::cam;
namespace core = qrvn::core;
namespace sim = qrvn::sim;

constexpr char kVendor[] = "Stratavox";
constexpr char kSource[] = "CreateSetupDemo::main";
constexpr char kPrinterInput[] = "StratavoxPrinterSelection";
constexpr char kSettingsInput[] = "StratavoxPrintSettingsSelection";

// The modes as the command registers them; the ids follow its naming.
struct Mode {
    std::string definition;
    std::string tab;
    std::string panel;
};

std::vector<Mode> modes() {
    std::vector<Mode> result;
    for (const CreateSetup::ToolbarMode& mode : CreateSetup::kToolbarModes) {
        result.push_back({std::string("Create") + kVendor + "SetupCommand" + mode.name, mode.tabId, mode.panelId});
    }
    return result;
}

// APPDATA as given, or a folder next to this program; the log's folder is
// created there (the add-in never creates it itself).
std::string prepareLogFolder() {
    demo::prepareLogFile(demo::programFolder() + "/appdata");
    return support::logFilePath();
}

std::uintmax_t sizeOf(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// "YYYY-MM-DD HH:MM:SS.mmm  source | message": a time stamp, two spaces,
// a source without spaces, " | " and the message.
bool isWellFormed(const std::string& line) {
    static const char kShape[] = "dddd-dd-dd dd:dd:dd.ddd  ";
    const size_t stampLength = sizeof kShape - 1;
    if (line.size() < stampLength) return false;
    for (size_t i = 0; i < stampLength; ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (kShape[i] == 'd' ? !digit : line[i] != kShape[i]) return false;
    }
    const size_t bar = line.find(" | ", stampLength);
    return bar != std::string::npos && bar > stampLength && line.find(' ', stampLength) == bar;
}

// The lines appended to the log since `offset`, without their CR LF.
std::vector<std::string> linesSince(const std::string& path, std::uintmax_t offset) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

void fillLibraries() {
    auto printer = [](const std::string& id, const std::string& name, const std::string& vendor) {
        sim::MachineSpec spec;
        spec.id = id;
        spec.name = name;
        spec.vendor = vendor;
        spec.model = name;
        sim::addMachine(spec);
        std::cout << "  printer        " << name << " (vendor " << vendor << ")\n";
    };
    auto setting = [](const std::string& id, const std::string& name, const std::string& vendor,
                      const std::string& technology) {
        sim::PrintSettingSpec spec;
        spec.id = id;
        spec.name = name;
        spec.vendor = vendor;
        spec.technology = technology;
        sim::addPrintSetting(spec);
        std::cout << "  print setting  " << name << " (vendor " << vendor << ", " << technology << ")\n";
    };
    printer("acme-p1", "Acme P1", "Acme");
    printer("svx-one", "Stratavox Model One", kVendor);
    printer("svx-two", "Stratavox Model Two", kVendor);
    setting("svx-pla", "Stratavox PLA Standard", kVendor, "FFF");
    setting("svx-petg", "Stratavox PETG Fine", kVendor, "FFF");
    setting("gen-bowden", "PLA Bowden Tube 0.2mm", "Generic", "FFF");
    setting("gen-direct", "ABS Direct Drive 0.2mm", "Generic", "FFF");
    setting("acme-resin", "Acme Resin", "Acme", "SLA");
}

Ptr<core::DropDownCommandInput> dropDown(const std::string& id) {
    auto command = sim::runningCommand();
    if (!command) return nullptr;
    return command->commandInputs()->itemById(id).query<core::DropDownCommandInput>();
}

Ptr<cam::CAM> camOf(const Ptr<core::Document>& document) {
    return document->products()->itemByProductType("CAMProductType").query<cam::CAM>();
}

void showHost(demo::Checks& checks) {
    demo::heading("Simulated host");
    auto ui = core::Application::get()->userInterface();
    auto design = ui->workspaces()->itemById("KalvixSolidEnvironment");
    std::vector<std::string> tabs;
    for (size_t i = 0; i < design->toolbarTabs()->count(); ++i) {
        tabs.push_back(design->toolbarTabs()->item(i)->id());
    }
    std::cout << "  design workspace KalvixSolidEnvironment, tabs: " << demo::join(tabs, ", ") << "\n";
    std::cout << "CAM libraries:\n";
    fillLibraries();

    auto document = sim::newDocument("Gearbox");
    sim::ComponentSpec gear{"Gear", {"Gear Wheel"}, {}, {}};
    sim::ComponentSpec bearing{"Bearing", {}, {"Bearing Scan"}, {}};
    sim::ComponentSpec shaft{"Shaft Assembly", {"Shaft"}, {}, {gear, bearing}};
    sim::ComponentSpec cover{"Cover", {"Cover Plate"}, {}, {}};
    sim::setDesign(document, {"Gearbox", {"Housing"}, {}, {shaft, cover}});
    std::cout << "Document \"" << document->name() << "\" (active), a two-level assembly:\n";
    demo::printDesign(document->design()->rootComponent());
    checks.expect(sim::activeWorkspaceId() == "KalvixSolidEnvironment", "the design workspace is active");
}

void showRegistration(demo::Checks& checks) {
    demo::heading("registerCommand(\"Stratavox\")");
    CreateSetup::registerCommand(kVendor);
    for (const Mode& mode : modes()) {
        auto definition = sim::findDefinition(mode.definition);
        auto panel = sim::findPanel(mode.panel);
        const bool placed = definition && panel && sim::findControl(mode.panel, mode.definition) &&
                            panel->parentTab()->id() == mode.tab;
        std::cout << "  " << mode.definition << "\n      \""
                  << (definition ? definition->name() : std::string("(no definition)")) << "\" in panel " << mode.panel
                  << " \"" << (panel ? panel->name() : std::string("(none)")) << "\" of tab " << mode.tab << "\n";
        checks.expect(definition && definition->name() == "Create Stratavox Setup" && placed,
                      std::string("button in ") + mode.tab);
    }
    support::log("Create Setup registered in the design workspace", kSource);
}

void showDialog(demo::Checks& checks) {
    demo::heading("Press \"Create Stratavox Setup\" in the Solid tab");
    checks.expect(sim::pressControl("CreateStratavoxSetupCommandSolid", "3dPrintPanel_Design"), "the command starts");
    auto printers = dropDown(kPrinterInput);
    auto settings = dropDown(kSettingsInput);
    if (!printers || !settings) {
        checks.expect(false, "the dialog shows both drop-downs");
        return;
    }
    demo::printDropDown(printers);
    demo::printDropDown(settings);
    checks.expect(sim::dropDownItems(kPrinterInput) ==
                      std::vector<std::string>{"Stratavox Model One", "Stratavox Model Two"},
                  "only the vendor's printers are offered");
    checks.expect(sim::dropDownItems(kSettingsInput) == std::vector<std::string>{"Stratavox PLA Standard",
                                                                                 "Stratavox PETG Fine",
                                                                                 "PLA Bowden Tube 0.2mm"},
                  "the vendor's print settings, then the Bowden-tube ones");
    checks.expect(sim::activeWorkspaceId() == "KalvixSolidEnvironment", "the user is still in the design workspace");

    std::cout << "  user picks \"Stratavox Model Two\" and \"PLA Bowden Tube 0.2mm\", presses OK\n";
    checks.expect(sim::pickDropDownItem(kPrinterInput, "Stratavox Model Two") &&
                      sim::pickDropDownItem(kSettingsInput, "PLA Bowden Tube 0.2mm"),
                  "both picks are taken");
    checks.expect(sim::okCommand(), "OK is accepted");
}

void showResult(demo::Checks& checks, const Ptr<core::Document>& document) {
    demo::heading("Result");
    auto camProduct = camOf(document);
    if (!camProduct) {
        checks.expect(false, "the document has a manufacturing product");
        return;
    }
    auto model = camProduct->manufacturingModels()->itemByName("Manufacturing Model");
    std::cout << "  manufacturing models: " << camProduct->manufacturingModels()->count() << "\n";
    checks.expect(static_cast<bool>(model), "manufacturing model \"Manufacturing Model\" exists");

    auto setup = camProduct->setups()->itemByName("Stratavox Setup");
    checks.expect(static_cast<bool>(setup), "setup \"Stratavox Setup\" exists");
    if (!setup) return;
    const std::vector<std::string> models = demo::describeModels(setup->models());
    std::cout << "  setup \"" << setup->name() << "\""
              << (setup->operationType() == cam::AdditiveOperation ? " (additive)" : "") << "\n"
              << "      machine:       " << (setup->machine() ? setup->machine()->name() : "none") << "\n"
              << "      print setting: " << (setup->printSetting() ? setup->printSetting()->name() : "none") << "\n"
              << "      models:        " << demo::join(models, ", ") << "\n";
    checks.expect(setup->operationType() == cam::AdditiveOperation, "the setup is additive");
    checks.expect(setup->machine() && setup->machine()->id() == "svx-two", "the setup uses Stratavox Model Two");
    checks.expect(setup->printSetting() && setup->printSetting()->id() == "gen-bowden",
                  "the setup uses PLA Bowden Tube 0.2mm");
    checks.expect(models == std::vector<std::string>{"body Housing", "body Shaft", "occurrence Gear:1",
                                                     "occurrence Bearing:1", "occurrence Cover:1"},
                  "all bodies of the assembly are in the setup");
    std::cout << "  active workspace: " << sim::activeWorkspaceId() << "\n";
    checks.expect(sim::activeWorkspaceId() == "CAMEnvironment", "the manufacturing workspace is open");
    checks.expect(sim::messageBoxes().empty(), "no message box was shown");
    support::log("Additive setup created: " + setup->name() + " with " +
                     (setup->machine() ? setup->machine()->name() : std::string("no machine")),
                 kSource);
}

// OK with nothing to choose from fails inside the command; the failure
// ends in the log, not in the host.
void showContainedFailure(demo::Checks& checks) {
    demo::heading("Second document, empty printer library: OK fails and is contained");
    sim::clearLibraries();
    auto bracket = sim::newDocument("Bracket");
    sim::setDesign(bracket, {"Bracket", {"Bracket Body"}, {}, {}});
    sim::activateWorkspace("KalvixSolidEnvironment");
    checks.expect(sim::pressControl("CreateStratavoxSetupCommandSolid"), "the command starts");
    checks.expect(sim::dropDownItems(kPrinterInput).empty(), "the printer list is empty");
    sim::okCommand();
    auto camProduct = camOf(bracket);
    checks.expect(!camProduct || camProduct->setups()->count() == 0, "no setup was created");
    checks.expect(sim::handlerFailures().empty(), "no failure reached the host");
}

void showRemoval(demo::Checks& checks) {
    demo::heading("unregisterCommand(\"Stratavox\")");
    CreateSetup::unregisterCommand(kVendor);
    int definitions = 0, panels = 0;
    for (const Mode& mode : modes()) {
        if (sim::findDefinition(mode.definition)) ++definitions;
        if (sim::findPanel(mode.panel)) ++panels;
    }
    std::cout << "  definitions left: " << definitions << ", 3D Print panels left: " << panels << "\n";
    checks.expect(definitions == 0 && panels == 0, "definitions and panels are removed");
    support::log("Create Setup removed", kSource);
}

void showLog(demo::Checks& checks, const std::string& path, std::uintmax_t offset) {
    demo::heading("Log");
    std::cout << "  " << path << "\n  lines written by this run:\n";
    const std::vector<std::string> lines = linesSince(path, offset);
    bool wellFormed = !lines.empty();
    bool failureLogged = false;
    for (const std::string& line : lines) {
        std::cout << "    " << line << "\n";
        wellFormed = wellFormed && isWellFormed(line);
        failureLogged = failureLogged || line.find("  CreateSetup::OnExecuteEventHandler::notify | Failed no printer "
                                                   "selected") != std::string::npos;
    }
    checks.expect(wellFormed, "every line has time stamp, source and message");
    checks.expect(failureLogged, "the contained failure is in the log");
}

}  // namespace

int main() {
    const std::string logPath = prepareLogFolder();
    const std::uintmax_t logOffset = sizeOf(logPath);
    std::cout << "Create Setup demonstration on the simulated host\nlog file: " << logPath << "\n";

    demo::Checks checks;
    {
        sim::Session session;
        showHost(checks);
        auto document = sim::activeDocument();
        showRegistration(checks);
        showDialog(checks);
        showResult(checks, document);
        showContainedFailure(checks);
        showRemoval(checks);
    }
    showLog(checks, logPath, logOffset);

    std::cout << "\n"
              << (checks.missed() == 0 ? "All " : "") << checks.total() - checks.missed() << " of " << checks.total()
              << " expected outcomes seen.\n";
    return checks.missed() == 0 ? 0 : 1;
}
