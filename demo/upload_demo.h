#pragma once
// The end-to-end demo of the add-in's main job, on the simulated host
// against the cloud services named by the STRATAVOX_* environment (the
// local emulator): load the add-in as the host does, open a sample design,
// run Create Setup with the vendor's printer, sign in through the account
// server's page as the palette's web view would, upload the design and
// then the toolpath into one new project, open it in the browser, sign out
// and unload the add-in. Prints a transcript, one "[ok]" or "[FAIL]" line
// per checked outcome, the screens the page was asked to show, what the
// emulator holds at the end and where the add-in's log is.
//
// Runs on the calling thread, which becomes the host's UI thread; it starts
// and ends its own simulated host. While it runs, the temporary folder
// variable (TMPDIR, TMP on Windows) points into the work folder (the
// add-in's exports land there) and the browser at a recording stand-in;
// both are restored afterwards.

#include <chrono>
#include <ostream>
#include <string>

namespace demo {

struct DemoSettings {
    std::string addinPath;   // the add-in's shared library
    std::string workFolder;  // an existing private folder; the caller removes it
    std::string logPath;     // the add-in's log file; its folder exists
    std::string user = "demo";
    std::string password = "secret";
    // Longest wait for any one thing the add-in does in the background.
    std::chrono::milliseconds wait{std::chrono::seconds(30)};
};

// The number of failed checks: 0 when every step did what it should.
int runUploadDemo(const DemoSettings& settings, std::ostream& out);

}  // namespace demo
