#include "demo/recording_browser.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>

namespace demo {

namespace {

#ifdef _WIN32

// The command the shell runs for https addresses, as UTF-8; empty when
// none is registered.
std::string httpsCommand() {
    wchar_t value[2048];
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, L"https\\shell\\open\\command", nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
        return std::string();
    }
    return std::filesystem::path(value).u8string();
}

#else

// Single quotes for the shell: ' becomes '\''.
std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

#endif

}  // namespace

#ifdef _WIN32

RecordingBrowser::RecordingBrowser(const std::string& folder)
    : record_(folder + "/opened.txt"), browser_(kBrowserVariable, folder + "/opened.txt") {
    const std::string command = httpsCommand();
    ready_ = command.find("stratavox_browser_recorder") != std::string::npos;
    description_ = ready_ ? "https opens in a recording stand-in: " + command
                          : "https opens in a recording stand-in (registered: " +
                                (command.empty() ? std::string("nothing") : command) + ")";
}

#else

RecordingBrowser::RecordingBrowser(const std::string& folder)
    : record_(folder + "/opened.txt"), browser_(kBrowserVariable, folder + "/browser.sh") {
    const std::string script = folder + "/browser.sh";
    description_ = "BROWSER is a recording stand-in: " + script;
    {
        std::ofstream out(script, std::ios::binary | std::ios::trunc);
        // One line per address; the address arrives as one argument, never
        // through the shell's parser.
        out << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> " << shellQuoted(record_) << "\n";
        if (!out) return;
    }
    ready_ = ::chmod(script.c_str(), 0700) == 0;
}

#endif

std::vector<std::string> RecordingBrowser::opened() const {
    std::ifstream in(std::filesystem::u8path(record_), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

}  // namespace demo
