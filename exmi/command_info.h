#pragma once
// CommandInfo: the texts that describe one toolbar command (a plain value,
// copied freely). A default-constructed record carries the defaults every
// command starts from; a subclass of CommandBase fills in its own.

#include <string>

namespace EXMI {

struct CommandInfo {
    std::string name = "Default Command Name";  // display name of the button
    std::string tooltipImage;                   // image shown in the tooltip; empty: none
    std::string tooltip = "Tooltip";            // tooltip text, may contain HTML
    std::string panelId = "SolidScriptsAddinsPanel";
    std::string tabId = "ToolsTab";                   // tab that receives a missing panel
    std::string panelName = panelId;                  // display name of a created panel
    std::string resourceFolder;                       // icon folder, handed to the host as is
    std::string description = "Command Description";  // carried along, not shown
};

// The tooltip handed to the host: an optional image, the tooltip text and
// two line breaks.
std::string composeTooltip(const CommandInfo& info);

}  // namespace EXMI
