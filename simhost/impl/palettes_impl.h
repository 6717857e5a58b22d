// The simulated palettes: each shows a page address and records what the
// add-in sends to the page; the scripting API plays the page's side
// (messages from the page, navigations). Navigations are delivered through
// the UI event queue, as a web view reports them after the fact. Owned by
// the user interface until deleted. User-interface thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/core/file_dialog.h"
#include "host/core/palettes.h"

namespace qrvn {
namespace impl {

class UserInterfaceImpl;

struct PageMessage {
    std::string action;
    std::string data;
};

class PaletteImpl : public core::Palette {
public:
    PaletteImpl(std::string id, std::string name);
    std::string id() override { return id_; }
    std::string name() override { return name_; }
    std::string pageURL() override { return url_; }
    bool setPageURL(const std::string& url) override;
    bool isVisible() override { return visible_; }
    bool setVisible(bool visible) override;
    int dockingState() override { return dockingState_; }
    bool setDockingState(int dockingState) override;
    int width() override { return width_; }
    int height() override { return height_; }
    std::string sendToPage(const std::string& action, const std::string& data) override;
    core::Ptr<core::HTMLEvent> htmlEvent() override { return htmlEvent_; }
    core::Ptr<core::NavigationEvent> navigationEvent() override { return navigationEvent_; }
    bool deleteMe() override;
    bool isValid() override { return valid_; }

    // Host side: the web view goes to `url` (the navigation event follows
    // through the event queue).
    void navigate(const std::string& url);
    // The page sends a message; returns the handlers' answer.
    std::string messageFromPage(const std::string& action, const std::string& data);

    std::string id_, name_, url_;
    bool visible_ = true;
    bool showCloseButton_ = true;
    bool resizable_ = true;
    bool useNewWebBrowser_ = true;
    int dockingState_ = core::PaletteDockStateFloating;
    int width_ = 0, height_ = 0;
    bool valid_ = true;
    std::weak_ptr<UserInterfaceImpl> ui_;
    std::vector<PageMessage> sentToPage_;
    std::vector<std::string> navigations_;
    // The page's answer to a message sent to it (empty text by default).
    std::function<std::string(const PageMessage&)> pageAnswer_;
    core::Ptr<core::HTMLEvent> htmlEvent_;
    core::Ptr<core::NavigationEvent> navigationEvent_;
};

class FileDialogImpl : public core::FileDialog {
public:
    explicit FileDialogImpl(std::weak_ptr<UserInterfaceImpl> ui) : ui_(std::move(ui)) {}
    std::string title() override { return title_; }
    bool setTitle(const std::string& title) override;
    std::string initialDirectory() override { return initialDirectory_; }
    bool setInitialDirectory(const std::string& directory) override;
    std::string filter() override { return filter_; }
    bool setFilter(const std::string& filter) override;
    bool isMultiSelectEnabled() override { return multiSelect_; }
    bool setMultiSelect(bool multiSelect) override;
    core::DialogResults showOpen() override { return show("open"); }
    core::DialogResults showSave() override { return show("save"); }
    std::string fileName() override { return fileNames_.empty() ? std::string() : fileNames_.front(); }
    std::vector<std::string> fileNames() override { return fileNames_; }

private:
    core::DialogResults show(const char* kind);
    std::weak_ptr<UserInterfaceImpl> ui_;
    std::string title_, initialDirectory_, filter_;
    bool multiSelect_ = false;
    std::vector<std::string> fileNames_;
};

core::Ptr<core::Palettes> makePalettes(const core::Ptr<UserInterfaceImpl>& ui);

}  // namespace impl
}  // namespace qrvn
