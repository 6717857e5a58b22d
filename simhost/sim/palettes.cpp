#include "simhost/sim/palettes.h"

#include <stdexcept>

#include "simhost/impl/application_impl.h"
#include "simhost/impl/host_state.h"
#include "simhost/impl/palettes_impl.h"
#include "simhost/impl/ui_impl.h"

namespace qrvn {
namespace sim {

namespace {

core::Ptr<impl::PaletteImpl> palette(const std::string& paletteId) {
    auto app = impl::HostState::instance().application();
    if (!app || !app->ui()) throw std::logic_error("sim: the host has no user interface");
    return app->ui()->findPalette(paletteId);
}

}  // namespace

core::Ptr<core::Palette> findPalette(const std::string& paletteId) { return palette(paletteId); }

std::vector<PageMessage> messagesToPage(const std::string& paletteId) {
    std::vector<PageMessage> messages;
    if (auto p = palette(paletteId)) {
        for (auto& m : p->sentToPage_) messages.push_back(PageMessage{m.action, m.data});
    }
    return messages;
}

void clearMessagesToPage(const std::string& paletteId) {
    if (auto p = palette(paletteId)) p->sentToPage_.clear();
}

std::vector<std::string> navigations(const std::string& paletteId) {
    auto p = palette(paletteId);
    return p ? p->navigations_ : std::vector<std::string>();
}

std::string sendFromPage(const std::string& paletteId, const std::string& action, const std::string& data) {
    auto p = palette(paletteId);
    return p ? p->messageFromPage(action, data) : std::string();
}

bool navigatePalette(const std::string& paletteId, const std::string& url) {
    auto p = palette(paletteId);
    if (!p) return false;
    p->navigate(url);
    return true;
}

void setPageAnswer(const std::string& paletteId, std::function<std::string(const PageMessage&)> answer) {
    auto p = palette(paletteId);
    if (!p) return;
    p->pageAnswer_ = [answer](const impl::PageMessage& m) { return answer(PageMessage{m.action, m.data}); };
}

}  // namespace sim
}  // namespace qrvn
