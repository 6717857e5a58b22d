#include "exmi/palette_base.h"

#include <exception>
#include <stdexcept>

#include "support/document.h"
#include "support/ids.h"
#include "support/log.h"
#include "support/require.h"

namespace EXMI {

using qrvn::core::Ptr;

PaletteBase::PaletteBase(IExtensibleMachine* owningMachine, std::string buttonId, CommandInfo commandInfo,
                         std::string id, std::string title, std::shared_ptr<IAsyncHandler> handler)
    : CommandBase(std::move(buttonId), std::move(commandInfo)), machine(owningMachine),
      asyncHandler(std::move(handler)), paletteId(std::move(id)), paletteTitle(std::move(title)) {}

PaletteBase::~PaletteBase() {
    try {
        closePalette();
    } catch (const std::exception& e) {
        logFailure(e.what(), ".onpalettedestroy");
    }
}

void PaletteBase::logFailure(const std::string& what, const std::string& sourceSuffix) const {
    support::log("fatal error:" + what, paletteId + sourceSuffix);
}

void PaletteBase::onPaletteCreated() {}

IExtensibleMachine* PaletteBase::getMachine() const {
    if (!machine) throw std::runtime_error("invalid EXMI machine");
    return machine;
}

void PaletteBase::onExecute() {
    try {
        const std::string url = getPaletteURL();
        createPalette(url);  // the host keeps the palette; our handle goes at once
        onPaletteCreated();
    } catch (const std::exception& e) {
        logFailure(e.what(), ".onpaletteexecute");
    }
}

Ptr<qrvn::core::Palette> PaletteBase::createPalette(const std::string& url) {
    closePalette();
    Ptr<qrvn::core::UserInterface> ui = support::getUserInterface();
    if (!ui) throw std::runtime_error("could not access UI instance");
    Ptr<qrvn::core::Palettes> palettes = ui->palettes();
    if (!palettes) throw std::runtime_error("could not access UI palettes");
    Ptr<qrvn::core::Palette> palette =
        palettes->addPalette(paletteId, paletteTitle, url, true, true, true, 800, 800, true);
    if (!palette) throw std::runtime_error("could not create new palette");
    support::required(palette->htmlEvent())->add(this);
    palette->setDockingState(qrvn::core::PaletteDockStateRight);
    palette->setVisible(true);
    support::required(palette->navigationEvent())->add(this);
    return palette;
}

Ptr<qrvn::core::Palette> PaletteBase::getPalette() const {
    Ptr<qrvn::core::UserInterface> ui = support::getUserInterface();
    if (!ui) return Ptr<qrvn::core::Palette>();
    Ptr<qrvn::core::Palettes> palettes = ui->palettes();
    if (!palettes) return Ptr<qrvn::core::Palette>();
    return palettes->itemById(paletteId);
}

void PaletteBase::closePalette() {
    Ptr<qrvn::core::Palette> palette = getPalette();
    if (!palette) return;
    support::required(palette->htmlEvent())->remove(this);
    support::required(palette->navigationEvent())->remove(this);
    palette->deleteMe();
}

void PaletteBase::closePaletteIfOpen() {
    try {
        if (getPalette()) closePalette();
    } catch (const std::exception& e) {
        logFailure(e.what(), ".onpaletteexecute");
    }
}

bool PaletteBase::setPaletteURL(const std::string& url) {
    Ptr<qrvn::core::Palette> palette = getPalette();
    if (!palette) return false;
    return palette->setPageURL(url);
}

bool PaletteBase::sendEvent(const PaletteEvent& event) {
    Ptr<qrvn::core::Palette> palette = getPalette();
    if (!palette) return false;
    const std::string data = event.toJSON(support::generateUuid());
    palette->sendToPage(event.action, data);
    return true;
}

void PaletteBase::notify(const Ptr<qrvn::core::HTMLEventArgs>& eventArgs) {
    try {
        if (!eventArgs) return;
        const PaletteEvent event(eventArgs->action(), eventArgs->data());
        onHTMLEvent(event);
    } catch (const std::exception& e) {
        logFailure(e.what(), ".htmlevent");
    }
}

void PaletteBase::notify(const Ptr<qrvn::core::NavigationEventArgs>& eventArgs) {
    try {
        if (!eventArgs) return;
        onNavigationEvent(eventArgs->url());
    } catch (const std::exception& e) {
        logFailure(e.what(), ".onnavigationevent");
    }
}

}  // namespace EXMI
