// A Windows program that uses every host-independent part of the platform
// layer and the support library. It is only linked, never run: a missing
// system library or a Windows branch that declares but never defines a
// function fails the link.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/browser.h"
#include "platform/files.h"
#include "support/encoding.h"
#include "support/files.h"
#include "support/ids.h"
#include "support/log.h"
#include "support/text.h"

int main(int argc, char** argv) {
    const std::string argument = argc > 1 ? argv[1] : "";
    support::log("link check " + support::generateUuid(), "link_check");
    const std::string folder = support::getTempFolder();
    const std::string path = support::makeTempFilePath("check_", ".txt", 10);
    std::vector<uint8_t> bytes;
    if (support::fileExists(path)) support::readFile(path, bytes);
    support::deleteFile(path);
    std::printf("%s %s %s %s %s\n", folder.c_str(), support::fileName(path, false).c_str(),
                support::folderOf(path).c_str(), support::percentEncode(argument).c_str(),
                support::getEnvironmentVariable("APPDATA").c_str());
    if (argument == "open") platform::openUrl(support::toUtf16(support::percentEncodeUri(argument)));
    return platform::pathExists(support::toUtf16(folder)) ? 0 : 1;
}
