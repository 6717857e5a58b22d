// stratavox_browser_recorder: the stand-in browser of the Windows build.
// Registered as the program that opens https (and http) addresses, it
// appends its one argument, the address, as a line to the file that
// STRATAVOX_BROWSER_RECORD names in the environment it inherits from the
// program that asked the shell to open it. Without that variable it records
// nothing and exits with 1.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <filesystem>
#include <string>

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const wchar_t* record = _wgetenv(L"STRATAVOX_BROWSER_RECORD");
    if (arguments == nullptr || count != 2 || record == nullptr || *record == L'\0') return 1;
    const std::string line = std::filesystem::path(arguments[1]).u8string() + "\n";
    LocalFree(arguments);
    std::FILE* out = _wfopen(record, L"ab");
    if (out == nullptr) return 1;
    const bool written = std::fwrite(line.data(), 1, line.size(), out) == line.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}
