#pragma once
// RecordingBrowser: the system browser, stood in for by a small program
// that appends each address it is asked to open to a file. Owns the record
// (inside the folder it is given) and points the stand-in at it for its
// lifetime, so the add-in's "open in the browser" starts a real program and
// the demo can show what it opened. Main thread.
//
// On POSIX systems the stand-in is a shell script of its own that BROWSER
// names. On Windows the add-in asks the shell to open the address, which
// starts the program registered for https: stratavox_browser_recorder
// (browser_recorder.cpp), registered by scripts/test --windows in the Wine
// prefix; it appends to the file STRATAVOX_BROWSER_RECORD names, a variable
// it inherits from this process.

#include <string>
#include <vector>

#include "demo/environment.h"

namespace demo {

#ifdef _WIN32
constexpr const char* kBrowserVariable = "STRATAVOX_BROWSER_RECORD";
#else
constexpr const char* kBrowserVariable = "BROWSER";
#endif

class RecordingBrowser {
public:
    // False from ready() when the stand-in cannot be started.
    explicit RecordingBrowser(const std::string& folder);
    bool ready() const { return ready_; }
    // What stands in for the browser, for the demo's check line.
    const std::string& description() const { return description_; }
    // Addresses opened so far, oldest first (complete lines only).
    std::vector<std::string> opened() const;

private:
    std::string record_;
    std::string description_;
    bool ready_ = false;
    ScopedVariable browser_;
};

}  // namespace demo
