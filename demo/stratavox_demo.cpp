// stratavox_demo: the add-in's main job end to end on the simulated host,
// against the cloud emulator whose STRATAVOX_* addresses are in the
// environment (scripts/demo starts it). Exits 1 when any step failed.
//
//   stratavox_demo [--addin PATH] [--user NAME] [--password TEXT] [--wait SECONDS]
//   stratavox_demo --show-state FILE   prints the emulator's saved state
//
// The add-in's log goes under APPDATA when it is set, otherwise under a
// folder next to this program; exports and the stand-in browser's record
// go into a private temporary folder that is removed at the end.

#include <curl/curl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <libxml/parser.h>
#include <string>

#include "demo/environment.h"
#include "demo/holdings.h"
#include "demo/upload_demo.h"

namespace {

const char kUsage[] = "usage: stratavox_demo [--addin PATH] [--user NAME] [--password TEXT] [--wait SECONDS]\n"
                      "       stratavox_demo --show-state FILE\n";

int showState(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    demo::Holdings holdings;
    std::string error;
    if (!in.is_open() || !demo::parseHoldings(json, holdings, error)) {
        std::cerr << "stratavox_demo: cannot read the emulator's state from " << path
                  << (error.empty() ? "" : ": " + error) << "\n";
        return 1;
    }
    demo::printHoldings(std::cout, holdings, "  ");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    demo::DemoSettings settings;
    settings.addinPath = STRATAVOX_ADDIN_PATH;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--show-state" && hasValue) {
            return showState(argv[++i]);
        } else if (arg == "--addin" && hasValue) {
            settings.addinPath = argv[++i];
        } else if (arg == "--user" && hasValue) {
            settings.user = argv[++i];
        } else if (arg == "--password" && hasValue) {
            settings.password = argv[++i];
        } else if (arg == "--wait" && hasValue) {
            const int seconds = std::atoi(argv[++i]);
            if (seconds <= 0) {
                std::cerr << kUsage;
                return 2;
            }
            settings.wait = std::chrono::seconds(seconds);
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }

    curl_global_init(CURL_GLOBAL_DEFAULT);
    xmlInitParser();
    int failures = 1;
    try {
        // Without APPDATA the log goes next to this program.
        settings.logPath = demo::prepareLogFile(demo::programFolder() + "/appdata");
        settings.workFolder = demo::makePrivateFolder("stratavox-demo-");
        if (settings.workFolder.empty()) {
            std::cerr << "stratavox_demo: cannot create a temporary folder\n";
        } else {
            failures = demo::runUploadDemo(settings, std::cout);
            std::error_code ignored;
            std::filesystem::remove_all(settings.workFolder, ignored);
        }
    } catch (const std::exception& e) {
        std::cerr << "stratavox_demo: " << e.what() << "\n";
    }
    xmlCleanupParser();
    curl_global_cleanup();
    return failures == 0 ? 0 : 1;
}
