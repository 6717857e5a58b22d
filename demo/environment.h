#pragma once
// Environment variables for the demo: read one, and set one for a scope
// (the previous value, or its absence, comes back on destruction). Main
// thread only, before and after the add-in's threads run.

#include <optional>
#include <string>

namespace demo {

// The variable that names the temporary folder the add-in exports into:
// Windows takes TMP first (GetTempPathW), POSIX systems TMPDIR.
extern const char* const kTempFolderVariable;

// The variable's value; empty when unset.
std::string variable(const std::string& name);

// A new folder only this user can enter, under the system's temporary
// folder, named "<prefix>" and random characters; empty when none could be
// made.
std::string makePrivateFolder(const std::string& prefix);

// The folder this program's executable lies in.
std::string programFolder();

class ScopedVariable {
public:
    ScopedVariable(std::string name, const std::string& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// The add-in's log file, "<APPDATA>/Quorvane/Quorvane Kalvix/EXMI-AddIns/
// EXMI.log": APPDATA as given, or set to `ownFolder` when it is unset. The
// folder is created here; the add-in only writes into an existing one.
// Throws std::filesystem::filesystem_error when it cannot be created.
std::string prepareLogFile(const std::string& ownFolder);

// The services the add-in will talk to, as the emulator exported them.
struct ServiceAddresses {
    std::string accountServer;
    std::string apiBase;
    std::string webApp;  // always ends in "/", as the add-in makes it
    std::string redirectUri;
    std::string caBundle;
};

// Reads the five STRATAVOX_* variables. False, with the missing names in
// `missing`, when any is unset: the demo never talks to the real service.
bool readServiceAddresses(ServiceAddresses& addresses, std::string& missing);

}  // namespace demo
