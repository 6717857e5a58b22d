#pragma once
// Shared pieces for the vendor and add-in tests: a fresh simulated host with
// a Stratavox printer in its library, the document "Bracket" with an
// additive setup "Setup1" for it, a private APPDATA (log) and TMPDIR
// (exports), readers for what the add-in sent to the palette's page, and a
// stand-in browser that records the addresses it is asked to open.
// Everything runs on the test's main thread, which is the host's UI thread.

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/qrvn.h"
#include "simhost/sim/sim.h"
#include "support/document.h"
#include "support/files.h"
#include "tests/exmi/log_reader.h"
#include "tests/support/scratch.h"

namespace vendor_test {

using exmi_test::Entry;
using qrvn::core::Ptr;

inline const char* const kPaletteId = "StratavoxPalette";
inline const char* const kPanelId = "StratavoxPanel";
inline const char* const kUploadId = "StrataVox Fabriqo";
inline const char* const kOpenId = "StratavoxOpenSVQCommand";
inline const char* const kSignOutId = "StratavoxSignoutCommand";
inline const char* const kSystemPosts = "/opt/quorvane/posts";
inline const char* const k3mfType = "application/vnd.ms-package.3dmanufacturing-3dmodel+xml";

// One message the add-in sent to the page, with its string members.
struct PageMessage {
    std::string action;
    std::string data;
    std::map<std::string, std::string> members;

    std::string get(const std::string& key) const {
        const auto member = members.find(key);
        return member == members.end() ? std::string() : member->second;
    }
};

inline std::vector<PageMessage> pageMessages(const std::string& paletteId = kPaletteId) {
    std::vector<PageMessage> result;
    if (!qrvn::sim::findPalette(paletteId)) return result;
    for (const auto& sent : qrvn::sim::messagesToPage(paletteId)) {
        PageMessage message{sent.action, sent.data, {}};
        rapidjson::Document json;
        json.Parse(sent.data.c_str());
        if (!json.HasParseError() && json.IsObject()) {
            for (auto it = json.MemberBegin(); it != json.MemberEnd(); ++it) {
                message.members.emplace(it->name.GetString(),
                                        it->value.IsString() ? it->value.GetString() : "<not a string>");
            }
        }
        result.push_back(message);
    }
    return result;
}

inline std::vector<PageMessage> messagesNamed(const std::string& action) {
    std::vector<PageMessage> result;
    for (const auto& message : pageMessages()) {
        if (message.action == action) result.push_back(message);
    }
    return result;
}

// The screens the page was asked to show, in order: "progressscreen",
// "successscreen:<project id>", "errorscreen:<message>", "uploadform".
inline std::vector<std::string> screens() {
    std::vector<std::string> result;
    for (const auto& message : messagesNamed("navigate")) {
        std::string screen = message.get("target");
        if (screen == "successscreen") screen += ":" + message.get("projectid");
        if (screen == "errorscreen") screen += ":" + message.get("errormessage");
        result.push_back(screen);
    }
    return result;
}

inline std::string lastScreen() {
    const std::vector<std::string> all = screens();
    return all.empty() ? std::string() : all.back();
}

inline bool resultShown() {
    const std::string last = lastScreen();
    return last.compare(0, 14, "successscreen:") == 0 || last.compare(0, 12, "errorscreen:") == 0;
}

// The entries whose source starts with `prefix`, in order.
inline std::vector<Entry> linesFrom(const std::vector<Entry>& all, const std::string& prefix) {
    std::vector<Entry> result;
    for (const Entry& entry : all) {
        if (entry.source.compare(0, prefix.size(), prefix) == 0) result.push_back(entry);
    }
    return result;
}

inline bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

inline std::vector<std::string> filesIn(const std::string& folder, const std::string& prefix,
                                        const std::string& extension) {
    std::vector<std::string> result;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && endsWith(name, extension)) result.push_back(entry.path().string());
    }
    return result;
}

// A browser program that appends each address it is given to a file: a
// script BROWSER names, or on Windows the program scripts/test --windows
// registers for https, which appends to the file STRATAVOX_BROWSER_RECORD
// names.
class RecordingBrowser {
public:
#ifdef _WIN32
    RecordingBrowser() : variable_("STRATAVOX_BROWSER_RECORD") { variable_.set(record()); }
#else
    RecordingBrowser() : variable_("BROWSER") {
        const std::string script = folder_ / "browser.sh";
        testing_support::writeWholeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + record() + "'\n");
        ::chmod(script.c_str(), 0755);
        variable_.set(script);
    }
#endif
    std::string record() const { return folder_ / "opened.txt"; }
    std::vector<std::string> opened() const {
        std::vector<std::string> lines;
        std::istringstream text(testing_support::readWholeFile(record()));
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
    // The browser runs as its own process: wait for its line.
    bool waitFor(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        return testing_support::waitUntil([&] { return opened().size() >= count; }, limit);
    }

private:
    testing_support::ScratchFolder folder_;
    testing_support::EnvironmentOverride variable_;
};

inline qrvn::sim::MachineSpec stratavoxPrinter() {
    qrvn::sim::MachineSpec spec;
    spec.id = "svx-s5";
    spec.name = "Stratavox S5";
    spec.vendor = "Stratavox";
    spec.model = "S5";
    spec.description = "Stratavox S5 printer";
    spec.postProcessor = "system://stratavox/s5.cps";
    return spec;
}

// Host, log and temporary folder of one test, plus the sample document.
class VendorHost {
public:
    explicit VendorHost(const qrvn::sim::HostOptions& options = qrvn::sim::HostOptions())
        : tmpdir_(testing_support::kTempFolderVariable, tempRoot_.path()), host_(options) {
        if (!options.withApplication || !options.withUserInterface) return;
        qrvn::sim::setSystemPostFolder(kSystemPosts);
    }

    // Adds the printer to the library and opens "Bracket" with "Setup1"
    // (active, toolpath valid) in the manufacturing workspace.
    void openBracket(const qrvn::sim::MachineSpec& spec = stratavoxPrinter()) {
        printer = qrvn::sim::addMachine(spec);
        document = qrvn::sim::newDocument("Bracket");
        qrvn::sim::setDesign(document, {"Bracket", {"Plate", "Rib"}, {}, {}});
        qrvn::sim::ensureCamProduct(document);
        setup = qrvn::sim::addSetup(document, "Setup1", printer);
        ASSERT_TRUE(setup);
        qrvn::sim::setToolpathValid(setup, true);
        uuid = support::ensureDocumentUuid(document, {}, false);
        ASSERT_TRUE(qrvn::sim::activateWorkspace("CAMEnvironment"));
    }

    // Exports and thumbnails, and machine descriptions, in the temporary folder.
    std::vector<std::string> exports(const std::string& extension) const {
        return filesIn(support::getTempFolder(), "kalvixexport_", extension);
    }
    // What the host wrote as exports and view images in this fixture's
    // folder, path and bytes, whether or not the files still exist.
    std::vector<qrvn::sim::WrittenFile> written(const std::string& extension) const {
        std::vector<qrvn::sim::WrittenFile> result;
        const std::string folder = tempRoot_.path() + "/" + support::tempFolderName();
        for (const auto& file : qrvn::sim::writtenFiles()) {
            if (testing_support::liesIn(file.path, folder) && endsWith(file.path, extension)) result.push_back(file);
        }
        return result;
    }
    std::vector<std::string> machineDescriptions() const {
        return filesIn(support::getTempFolder(), "machine_", ".machine");
    }

    exmi_test::LogFile log;
    Ptr<qrvn::cam::Machine> printer;
    Ptr<qrvn::kalvix::KalvixDocument> document;
    Ptr<qrvn::cam::Setup> setup;
    std::string uuid;

private:
    testing_support::ScratchFolder tempRoot_;
    testing_support::EnvironmentOverride tmpdir_;
    qrvn::sim::Session host_;
};

// Pumps the UI thread, calling `beat` after each round, until `condition`
// holds or the time is up.
inline bool pumpUntil(const std::function<bool()>& condition, const std::function<void()>& beat,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return testing_support::waitUntil(
        [&] {
            qrvn::sim::pump();
            if (beat) beat();
            qrvn::sim::pump();
            return condition();
        },
        limit);
}

}  // namespace vendor_test
