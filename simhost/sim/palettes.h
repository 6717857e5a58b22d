// Scripting the palettes: play the page's side (send a message from the
// page, follow a link or a redirect) and inspect what the add-in sent to the
// page. UI thread only; needs a host with a user interface.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/core.h"

namespace qrvn {
namespace sim {

struct PageMessage {
    std::string action;
    std::string data;
};

core::Ptr<core::Palette> findPalette(const std::string& paletteId);
// Messages the add-in sent to the page (sendToPage), oldest first.
std::vector<PageMessage> messagesToPage(const std::string& paletteId);
void clearMessagesToPage(const std::string& paletteId);
// Addresses the palette's web view was sent to, oldest first.
std::vector<std::string> navigations(const std::string& paletteId);
// The page sends a message: htmlEvent is fired now; returns the answer the
// handlers set (HTMLEventArgs::returnData). Empty when there is no palette.
std::string sendFromPage(const std::string& paletteId, const std::string& action, const std::string& data);
// The web view goes to `url` (a link, a redirect): the navigation event is
// queued for the UI thread. False when there is no such palette.
bool navigatePalette(const std::string& paletteId, const std::string& url);
// How the page answers sendToPage (empty text by default).
void setPageAnswer(const std::string& paletteId, std::function<std::string(const PageMessage&)> answer);

}  // namespace sim
}  // namespace qrvn
