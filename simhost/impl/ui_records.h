// What the simulated user interface keeps of every message box and file
// dialog it showed: the host side records them, the scripting side hands
// copies to tests. Plain values.
#pragma once

#include <string>
#include <vector>

#include "host/core/user_interface.h"

namespace qrvn {
namespace impl {

struct MessageBoxRecord {
    std::string text;
    std::string title;
    core::MessageBoxButtonTypes buttons;
    core::MessageBoxIconTypes icon;
    core::DialogResults answer;
};

struct FileDialogRecord {
    std::string kind;  // "open" or "save"
    std::string title;
    std::string initialDirectory;
    std::string filter;
    bool multiSelect;
    core::DialogResults answer;
    std::vector<std::string> fileNames;
};

}  // namespace impl
}  // namespace qrvn
