#include "simhost/impl/palettes_impl.h"

#include "simhost/impl/application_impl.h"
#include "simhost/impl/common.h"
#include "simhost/impl/event_queue.h"
#include "simhost/impl/ui_impl.h"

namespace qrvn {
namespace impl {

namespace {

class PalettesView : public core::Palettes {
public:
    explicit PalettesView(core::Ptr<UserInterfaceImpl> ui) : ui_(std::move(ui)) {}
    size_t count() override { return ui_->palettes_.size(); }
    core::Ptr<core::Palette> item(size_t index) override { return itemAt(ui_->palettes_, index); }
    core::Ptr<core::Palette> itemById(const std::string& id) override { return ui_->findPalette(id); }
    core::Ptr<core::Palette> addPalette(const std::string& id, const std::string& name, const std::string& htmlFileURL,
                                        bool isVisible, bool showCloseButton, bool isResizable, int width, int height,
                                        bool useNewWebBrowser) override {
        if (scriptedFailure("Palettes::addPalette")) return core::Ptr<core::Palette>();
        if (id.empty()) {
            setLastError(core::InvalidArgumentError, "palette id must not be empty");
            return core::Ptr<core::Palette>();
        }
        if (ui_->findPalette(id)) {
            setLastError(core::AlreadyExistsError, "palette id already in use: " + id);
            return core::Ptr<core::Palette>();
        }
        auto palette = make<PaletteImpl>(id, name);
        palette->ui_ = weak(ui_);
        palette->visible_ = isVisible;
        palette->showCloseButton_ = showCloseButton;
        palette->resizable_ = isResizable;
        palette->width_ = width;
        palette->height_ = height;
        palette->useNewWebBrowser_ = useNewWebBrowser;
        ui_->palettes_.push_back(palette);
        palette->navigate(htmlFileURL);
        return palette;
    }

private:
    core::Ptr<UserInterfaceImpl> ui_;
};

}  // namespace

PaletteImpl::PaletteImpl(std::string id, std::string name)
    : id_(std::move(id)), name_(std::move(name)), htmlEvent_(make<core::HTMLEvent>("htmlEvent")),
      navigationEvent_(make<core::NavigationEvent>("navigationEvent")) {}

void PaletteImpl::navigate(const std::string& url) {
    url_ = url;
    navigations_.push_back(url);
    std::weak_ptr<PaletteImpl> palette = weak(self(this));
    EventQueue::instance().post([palette, url] {
        auto target = palette.lock();
        if (!target || !target->valid_) return;
        // Navigations of a host that has been replaced since are dropped.
        auto ui = lock(target->ui_);
        if (!ui || ui->application().get() != HostState::instance().application().get()) return;
        target->navigationEvent_->fire(make<core::NavigationEventArgs>(url));
    });
}

bool PaletteImpl::setPageURL(const std::string& url) {
    if (!valid_) return failInvalid("Palette::setPageURL");
    if (scriptedFailure("Palette::setPageURL")) return false;
    navigate(url);
    return true;
}

bool PaletteImpl::setVisible(bool visible) {
    if (!valid_) return failInvalid("Palette::setVisible");
    visible_ = visible;
    return true;
}

bool PaletteImpl::setDockingState(int dockingState) {
    if (!valid_) return failInvalid("Palette::setDockingState");
    if (dockingState < core::PaletteDockStateFloating || dockingState > core::PaletteDockStateRight) {
        setLastError(core::InvalidArgumentError, "unknown docking state");
        return false;
    }
    dockingState_ = dockingState;
    return true;
}

std::string PaletteImpl::sendToPage(const std::string& action, const std::string& data) {
    if (!valid_) {
        failInvalid("Palette::sendToPage");
        return std::string();
    }
    PageMessage message{action, data};
    sentToPage_.push_back(message);
    return pageAnswer_ ? pageAnswer_(message) : std::string();
}

std::string PaletteImpl::messageFromPage(const std::string& action, const std::string& data) {
    if (!valid_) return std::string();
    auto args = make<core::HTMLEventArgs>(action, data);
    htmlEvent_->fire(args);
    return args->returnData();
}

bool PaletteImpl::deleteMe() {
    if (!valid_) return failInvalid("Palette::deleteMe");
    if (auto ui = lock(ui_)) ui->removePalette(this);
    valid_ = false;
    return true;
}

bool FileDialogImpl::setTitle(const std::string& title) {
    title_ = title;
    return true;
}

bool FileDialogImpl::setInitialDirectory(const std::string& directory) {
    initialDirectory_ = directory;
    return true;
}

bool FileDialogImpl::setFilter(const std::string& filter) {
    filter_ = filter;
    return true;
}

bool FileDialogImpl::setMultiSelect(bool multiSelect) {
    multiSelect_ = multiSelect;
    return true;
}

core::DialogResults FileDialogImpl::show(const char* kind) {
    auto ui = lock(ui_);
    if (!ui) {
        failInvalid("FileDialog::show");
        return core::DialogError;
    }
    FileDialogAnswer answer = ui->nextFileDialogAnswer();
    fileNames_.clear();
    if (answer.result == core::DialogOK) {
        fileNames_ = answer.fileNames;
        if (!multiSelect_ && fileNames_.size() > 1) fileNames_.resize(1);
    }
    ui->recordFileDialog(
        FileDialogRecord{kind, title_, initialDirectory_, filter_, multiSelect_, answer.result, fileNames_});
    return answer.result;
}

core::Ptr<core::Palettes> makePalettes(const core::Ptr<UserInterfaceImpl>& ui) { return make<PalettesView>(ui); }

}  // namespace impl
}  // namespace qrvn
