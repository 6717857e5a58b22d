#pragma once
// EXMI::PaletteBase: a command whose user interface is an HTML page in a
// host palette. Executing the command (re)opens the palette on the address
// the subclass chooses; messages from the page arrive as PaletteEvent
// records at onHTMLEvent, navigations of the web view at onNavigationEvent,
// and the subclass sends PaletteEvent records to the page with sendEvent.
//
// Owns the palette id and title and a share of the machine's request
// handler. The host palette itself belongs to the host and is looked up by
// id whenever it is needed; this object is attached to its two events while
// it exists and detaches (and deletes the palette) before it goes. Every
// error inside a host callback is logged and never reaches the host.
// Host user-interface thread only.

#include <memory>
#include <string>

#include "exmi/command_base.h"
#include "exmi/palette_event.h"
#include "host/core.h"

namespace EXMI {

class IAsyncHandler;
class IExtensibleMachine;

class PaletteBase : public CommandBase, public qrvn::core::HTMLEventHandler, public qrvn::core::NavigationEventHandler {
public:
    PaletteBase(IExtensibleMachine* owningMachine, std::string buttonId, CommandInfo commandInfo, std::string id,
                std::string title, std::shared_ptr<IAsyncHandler> handler);
    // Closes the palette so that the host never calls into a dead object.
    ~PaletteBase() override;

    // Opens (or reopens) the palette on getPaletteURL().
    void onExecute() override;

    virtual std::string getPaletteURL() = 0;
    virtual void onNavigationEvent(const std::string& url) = 0;
    virtual void onHTMLEvent(const PaletteEvent& event) = 0;
    virtual void onPaletteCreated();

    // Throws "invalid EXMI machine" when the palette has no machine.
    IExtensibleMachine* getMachine() const;

    // Replaces any open palette with a new one on `url`, handlers attached.
    qrvn::core::Ptr<qrvn::core::Palette> createPalette(const std::string& url);
    // The host palette with this id; none when any link is missing.
    qrvn::core::Ptr<qrvn::core::Palette> getPalette() const;
    // Detaches the handlers and deletes the palette, if it exists.
    void closePalette();
    // closePalette when a palette is open; errors are logged, not thrown.
    void closePaletteIfOpen();
    // Navigates the open palette; false without one.
    bool setPaletteURL(const std::string& url);
    // Sends the event to the page with a fresh "eventID"; false (and
    // nothing sent) without an open palette.
    bool sendEvent(const PaletteEvent& event);

    const std::string& getPaletteId() const { return paletteId; }
    const std::string& getPaletteTitle() const { return paletteTitle; }
    const std::shared_ptr<IAsyncHandler>& getAsyncHandler() const { return asyncHandler; }

    // Host callbacks (the two handler bases).
    void notify(const qrvn::core::Ptr<qrvn::core::HTMLEventArgs>& eventArgs) override;
    void notify(const qrvn::core::Ptr<qrvn::core::NavigationEventArgs>& eventArgs) override;

protected:
    // One "fatal error:" line with the palette id and the given suffix.
    void logFailure(const std::string& what, const std::string& sourceSuffix) const;

private:
    IExtensibleMachine* machine;
    std::shared_ptr<IAsyncHandler> asyncHandler;
    std::string paletteId;
    std::string paletteTitle;
};

}  // namespace EXMI
