#include "simhost/impl/application_impl.h"

#include <algorithm>

#include "host/cam/libraries.h"
#include "simhost/impl/cam_impl.h"
#include "simhost/impl/common.h"
#include "simhost/impl/design_impl.h"
#include "simhost/impl/document_impl.h"
#include "simhost/impl/event_queue.h"
#include "simhost/impl/libraries_impl.h"
#include "simhost/impl/ui_impl.h"
#include "simhost/impl/viewport_impl.h"

namespace qrvn {
namespace core {

Ptr<Application> Application::get() { return impl::HostState::instance().application(); }

}  // namespace core

namespace cam {

core::Ptr<CAMManager> CAMManager::get() {
    auto application = impl::HostState::instance().application();
    if (!application) return core::Ptr<CAMManager>();
    return application->camManager();
}

}  // namespace cam

namespace impl {

namespace {

class DocumentsImpl : public core::Documents {
public:
    explicit DocumentsImpl(core::Ptr<ApplicationImpl> application) : application_(std::move(application)) {}
    size_t count() override { return application_->openDocuments().size(); }
    core::Ptr<core::Document> item(size_t index) override { return itemAt(application_->openDocuments(), index); }
    core::Ptr<core::Document> add(core::DocumentTypes documentType, bool visible) override {
        if (scriptedFailure("Documents::add")) return core::Ptr<core::Document>();
        if (documentType != core::KalvixDesignDocumentType) {
            setLastError(core::InvalidArgumentError, "unknown document type");
            return core::Ptr<core::Document>();
        }
        return application_->newDocument(std::string(), visible);
    }

private:
    core::Ptr<ApplicationImpl> application_;
};

core::Ptr<core::DocumentEvent> documentEvent(const char* name) { return make<core::DocumentEvent>(name); }

}  // namespace

ApplicationImpl::ApplicationImpl()
    : documentCreated_(documentEvent("documentCreated")), documentOpened_(documentEvent("documentOpened")),
      documentActivating_(documentEvent("documentActivating")), documentActivated_(documentEvent("documentActivated")),
      documentDeactivating_(documentEvent("documentDeactivating")),
      documentDeactivated_(documentEvent("documentDeactivated")), documentClosing_(documentEvent("documentClosing")),
      documentClosed_(documentEvent("documentClosed")), documentSaving_(documentEvent("documentSaving")),
      documentSaved_(documentEvent("documentSaved")) {}

ApplicationImpl::~ApplicationImpl() = default;

core::Ptr<ApplicationImpl> ApplicationImpl::create(bool withUserInterface) {
    auto application = make<ApplicationImpl>();
    application->camManager_ = make<CAMManagerImpl>();
    if (withUserInterface) application->ui_ = UserInterfaceImpl::create(weak(application));
    return application;
}

core::Ptr<core::UserInterface> ApplicationImpl::userInterface() {
    if (scriptedFailure("Application::userInterface")) return core::Ptr<core::UserInterface>();
    return ui_;
}

core::Ptr<core::Documents> ApplicationImpl::documents() {
    if (scriptedFailure("Application::documents")) return core::Ptr<core::Documents>();
    return make<DocumentsImpl>(self(this));
}

core::Ptr<core::Document> ApplicationImpl::activeDocument() {
    if (scriptedFailure("Application::activeDocument")) return core::Ptr<core::Document>();
    return active_;
}

core::Ptr<core::Product> ApplicationImpl::activeProduct() {
    if (!active_) return core::Ptr<core::Product>();
    if (active_->workspaceId_ == "CAMEnvironment" && active_->cam_) return active_->cam_;
    return active_->design_;
}

core::Ptr<core::Viewport> ApplicationImpl::activeView() {
    if (scriptedFailure("Application::activeView")) return core::Ptr<core::Viewport>();
    if (!active_) return core::Ptr<core::Viewport>();
    return active_->viewport();
}

int ApplicationImpl::getLastError(std::string* description) { return HostState::instance().lastError(description); }

void ApplicationImpl::fireDocumentEvent(const core::Ptr<core::DocumentEvent>& event,
                                        const core::Ptr<DocumentImpl>& document) {
    event->fire(make<core::DocumentEventArgs>(document));
}

void ApplicationImpl::makeActive(const core::Ptr<DocumentImpl>& document) {
    active_ = document;
    if (!document) return;
    document->visible_ = true;
    auto& history = activationHistory_;
    history.erase(std::remove_if(history.begin(), history.end(),
                                 [&](const std::weak_ptr<DocumentImpl>& w) {
                                     auto d = w.lock();
                                     return !d || d == document.shared();
                                 }),
                  history.end());
    history.push_back(weak(document));
}

void ApplicationImpl::showWorkspaceOf(const core::Ptr<DocumentImpl>& document) {
    if (ui_ && document && document == active_) ui_->showWorkspace(document->workspaceId_);
}

core::Ptr<DocumentImpl> ApplicationImpl::addDocument(const core::Ptr<DocumentImpl>& document, bool opened,
                                                     bool visible) {
    document->application_ = weak(self(this));
    document->valid_ = true;
    document->visible_ = visible;
    documents_.push_back(document);
    auto previous = active_;
    if (visible && previous) fireDocumentEvent(documentDeactivating_, previous);
    fireDocumentEvent(opened ? documentOpened_ : documentCreated_, document);
    if (!visible || !document->valid_ || active_ == document) return document;
    fireDocumentEvent(documentActivating_, document);
    if (!document->valid_) return document;
    makeActive(document);
    if (previous && previous != document) fireDocumentEvent(documentDeactivated_, previous);
    showWorkspaceOf(document);
    if (active_ == document) fireDocumentEvent(documentActivated_, document);
    return document;
}

core::Ptr<DocumentImpl> ApplicationImpl::newDocument(const std::string& name, bool visible) {
    std::string documentName = name;
    if (documentName.empty()) documentName = "Untitled" + (untitled_++ ? std::to_string(untitled_) : "");
    return addDocument(DocumentImpl::create(documentName), false, visible);
}

bool ApplicationImpl::activateDocument(const core::Ptr<DocumentImpl>& document) {
    if (!document || !document->valid_) return failInvalid("Document::activate");
    if (active_ == document) return true;
    auto previous = active_;
    if (previous) fireDocumentEvent(documentDeactivating_, previous);
    fireDocumentEvent(documentActivating_, document);
    if (!document->valid_) return false;
    makeActive(document);
    if (previous) fireDocumentEvent(documentDeactivated_, previous);
    showWorkspaceOf(document);
    if (active_ == document) fireDocumentEvent(documentActivated_, document);
    return true;
}

bool ApplicationImpl::closeDocument(const core::Ptr<DocumentImpl>& document) {
    if (!document || !document->valid_) return failInvalid("Document::close");
    if (scriptedFailure("Document::close")) return false;
    fireDocumentEvent(documentClosing_, document);
    auto it = std::find(documents_.begin(), documents_.end(), document);
    if (it == documents_.end()) return true;  // a handler closed it already
    documents_.erase(it);
    document->valid_ = false;
    bool wasActive = active_ == document;
    if (wasActive) active_.reset();
    fireDocumentEvent(documentClosed_, document);
    if (!wasActive || documents_.empty() || active_) return true;

    core::Ptr<DocumentImpl> next;
    for (auto w = activationHistory_.rbegin(); w != activationHistory_.rend() && !next; ++w) {
        auto candidate = lock(*w);
        if (candidate && candidate->valid_ &&
            std::find(documents_.begin(), documents_.end(), candidate) != documents_.end())
            next = candidate;
    }
    if (!next) next = documents_.back();
    fireDocumentEvent(documentActivating_, next);
    if (!next->valid_) return true;
    makeActive(next);
    showWorkspaceOf(next);
    if (active_ == next) fireDocumentEvent(documentActivated_, next);
    return true;
}

core::Ptr<DocumentImpl> ApplicationImpl::saveDocument(const core::Ptr<DocumentImpl>& document) {
    if (!document || !document->valid_) {
        failInvalid("Document::save");
        return core::Ptr<DocumentImpl>();
    }
    fireDocumentEvent(documentSaving_, document);
    document->saved_ = true;
    document->modified_ = false;
    auto saved = document->copy();
    saved->saved_ = true;
    fireDocumentEvent(documentSaved_, document);
    return saved;
}

core::Ptr<DocumentImpl> ApplicationImpl::openDocument(const core::Ptr<DocumentImpl>& saved) {
    if (!saved) return core::Ptr<DocumentImpl>();
    auto document = saved->copy();
    document->saved_ = true;
    return addDocument(document, true, true);
}

core::Ptr<core::CustomEvent> ApplicationImpl::registerCustomEvent(const std::string& eventId) {
    if (scriptedFailure("Application::registerCustomEvent")) return core::Ptr<core::CustomEvent>();
    if (eventId.empty()) {
        setLastError(core::InvalidArgumentError, "custom event id must not be empty");
        return core::Ptr<core::CustomEvent>();
    }
    if (customEvents_.count(eventId)) {
        setLastError(core::AlreadyExistsError, "custom event already registered: " + eventId);
        return core::Ptr<core::CustomEvent>();
    }
    auto event = make<core::CustomEvent>(eventId);
    customEvents_[eventId] = event;
    std::lock_guard<std::mutex> lock(registeredMutex_);
    registeredIds_.insert(eventId);
    return event;
}

bool ApplicationImpl::isCustomEventRegistered(const std::string& eventId) {
    std::lock_guard<std::mutex> lock(registeredMutex_);
    return registeredIds_.count(eventId) != 0;
}

bool ApplicationImpl::fireCustomEvent(const std::string& eventId, const std::string& additionalInfo) {
    if (!isCustomEventRegistered(eventId)) {
        setLastError(core::ObjectNotFoundError, "custom event not registered: " + eventId);
        return false;
    }
    std::weak_ptr<ApplicationImpl> application = weak(self(this));
    EventQueue::instance().post([application, eventId, additionalInfo] {
        auto target = application.lock();
        if (target) target->deliverCustomEvent(eventId, additionalInfo);
    });
    return true;
}

void ApplicationImpl::deliverCustomEvent(const std::string& eventId, const std::string& additionalInfo) {
    // Only the running application delivers; fires queued by an application
    // that has been replaced since are dropped.
    if (HostState::instance().application().get() != this) return;
    auto it = customEvents_.find(eventId);
    if (it == customEvents_.end()) return;
    auto event = it->second;
    event->fire(make<core::CustomEventArgs>(eventId, additionalInfo));
}

bool ApplicationImpl::unregisterCustomEvent(const std::string& eventId) {
    {
        std::lock_guard<std::mutex> lock(registeredMutex_);
        registeredIds_.erase(eventId);
    }
    if (customEvents_.erase(eventId) == 0) {
        setLastError(core::ObjectNotFoundError, "custom event not registered: " + eventId);
        return false;
    }
    return true;
}

}  // namespace impl
}  // namespace qrvn
