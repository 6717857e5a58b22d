#pragma once
// RecordingBrowser: the system browser, stood in for by a small shell
// script that appends each address it is asked to open to a file. Owns the
// script and its record (inside the folder it is given) and points BROWSER
// at the script for its lifetime, so the add-in's "open in the browser"
// runs a real program and the demo can show what it opened. Main thread.

#include <string>
#include <vector>

#include "demo/environment.h"

namespace demo {

class RecordingBrowser {
public:
    // False from ready() when the script could not be written.
    explicit RecordingBrowser(const std::string& folder);
    bool ready() const { return ready_; }
    const std::string& script() const { return script_; }
    // Addresses opened so far, oldest first (complete lines only).
    std::vector<std::string> opened() const;

private:
    std::string script_;
    std::string record_;
    bool ready_ = false;
    ScopedVariable browser_;
};

}  // namespace demo
