// Palettes, Palette: dockable panels of the host's user interface that show
// an HTML page in a web view. The host owns them; the page talks to the
// add-in through the palette: messages from the page arrive as htmlEvent,
// navigations of the web view as navigationEvent (delivered asynchronously on
// the user-interface thread, after the navigation started), and the add-in
// sends messages to the page with sendToPage. User-interface thread only.
#pragma once

#include <cstddef>
#include <string>

#include "host/core/base.h"
#include "host/core/event_types.h"

namespace qrvn {
namespace core {

class Palette;

enum PaletteDockingStates {
    PaletteDockStateFloating = 0,
    PaletteDockStateTop = 1,
    PaletteDockStateBottom = 2,
    PaletteDockStateLeft = 3,
    PaletteDockStateRight = 4,
};

class QRVN_API Palettes : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Palettes")
public:
    virtual size_t count() = 0;
    virtual Ptr<Palette> item(size_t index) = 0;
    virtual Ptr<Palette> itemById(const std::string& id) = 0;
    // Creates a palette showing htmlFileURL; empty (AlreadyExistsError) when
    // the id is in use.
    virtual Ptr<Palette> addPalette(const std::string& id, const std::string& name, const std::string& htmlFileURL,
                                    bool isVisible, bool showCloseButton, bool isResizable, int width, int height,
                                    bool useNewWebBrowser) = 0;
};

class QRVN_API Palette : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Palette")
public:
    virtual std::string id() = 0;
    virtual std::string name() = 0;
    virtual std::string pageURL() = 0;
    // Navigates the web view to `url`.
    virtual bool setPageURL(const std::string& url) = 0;
    virtual bool isVisible() = 0;
    virtual bool setVisible(bool visible) = 0;
    virtual int dockingState() = 0;
    virtual bool setDockingState(int dockingState) = 0;
    virtual int width() = 0;
    virtual int height() = 0;
    // Hands a message to the page; returns the page's answer text.
    virtual std::string sendToPage(const std::string& action, const std::string& data) = 0;
    virtual Ptr<HTMLEvent> htmlEvent() = 0;
    virtual Ptr<NavigationEvent> navigationEvent() = 0;
    virtual bool deleteMe() = 0;
};

}  // namespace core
}  // namespace qrvn
