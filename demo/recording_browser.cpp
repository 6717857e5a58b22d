#include "demo/recording_browser.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace demo {

namespace {

// Single quotes for the shell: ' becomes '\''.
std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

RecordingBrowser::RecordingBrowser(const std::string& folder)
    : script_(folder + "/browser.sh"), record_(folder + "/opened.txt"), browser_("BROWSER", folder + "/browser.sh") {
    {
        std::ofstream out(script_, std::ios::binary | std::ios::trunc);
        // One line per address; the address arrives as one argument, never
        // through the shell's parser.
        out << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> " << shellQuoted(record_) << "\n";
        if (!out) return;
    }
    ready_ = ::chmod(script_.c_str(), 0700) == 0;
}

std::vector<std::string> RecordingBrowser::opened() const {
    std::ifstream in(record_, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

}  // namespace demo
