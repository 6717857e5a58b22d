// ApplicationImpl: the simulated host application. Owns the user interface
// (absent in "no user interface" mode), the open documents, the CAM
// libraries, the document events and the custom events, and performs the
// host's own document operations (create, open, activate, close) with the
// event order documented in host/core/application.h.
// Threads: fireCustomEvent may be called from any thread (it takes the
// registry mutex and posts to the UI event queue); all else runs on the UI
// thread.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/core/application.h"

namespace qrvn {
namespace impl {

class DocumentImpl;
class UserInterfaceImpl;
class CAMManagerImpl;

class ApplicationImpl : public core::Application {
public:
    static core::Ptr<ApplicationImpl> create(bool withUserInterface);
    ApplicationImpl();
    ~ApplicationImpl() override;

    core::Ptr<core::UserInterface> userInterface() override;
    core::Ptr<core::Documents> documents() override;
    core::Ptr<core::Document> activeDocument() override;
    core::Ptr<core::Product> activeProduct() override;
    core::Ptr<core::Viewport> activeView() override;
    int getLastError(std::string* description) override;

    core::Ptr<core::DocumentEvent> documentCreated() override { return documentCreated_; }
    core::Ptr<core::DocumentEvent> documentOpened() override { return documentOpened_; }
    core::Ptr<core::DocumentEvent> documentActivating() override { return documentActivating_; }
    core::Ptr<core::DocumentEvent> documentActivated() override { return documentActivated_; }
    core::Ptr<core::DocumentEvent> documentDeactivating() override { return documentDeactivating_; }
    core::Ptr<core::DocumentEvent> documentDeactivated() override { return documentDeactivated_; }
    core::Ptr<core::DocumentEvent> documentClosing() override { return documentClosing_; }
    core::Ptr<core::DocumentEvent> documentClosed() override { return documentClosed_; }
    core::Ptr<core::DocumentEvent> documentSaving() override { return documentSaving_; }
    core::Ptr<core::DocumentEvent> documentSaved() override { return documentSaved_; }

    core::Ptr<core::CustomEvent> registerCustomEvent(const std::string& eventId) override;
    bool fireCustomEvent(const std::string& eventId, const std::string& additionalInfo) override;
    bool unregisterCustomEvent(const std::string& eventId) override;

    // Host side (UI thread).
    core::Ptr<UserInterfaceImpl> ui() { return ui_; }
    core::Ptr<CAMManagerImpl> camManager() { return camManager_; }
    const std::vector<core::Ptr<DocumentImpl>>& openDocuments() const { return documents_; }
    core::Ptr<DocumentImpl> activeDocumentImpl() { return active_; }

    // Adds `document` to the open documents as a newly created (opened =
    // false) or opened document and, when visible, activates it.
    core::Ptr<DocumentImpl> addDocument(const core::Ptr<DocumentImpl>& document, bool opened, bool visible);
    core::Ptr<DocumentImpl> newDocument(const std::string& name, bool visible = true);
    bool activateDocument(const core::Ptr<DocumentImpl>& document);
    bool closeDocument(const core::Ptr<DocumentImpl>& document);
    // Saves the document: fires documentSaving/documentSaved and returns a
    // detached copy that openDocument can open any number of times.
    core::Ptr<DocumentImpl> saveDocument(const core::Ptr<DocumentImpl>& document);
    core::Ptr<DocumentImpl> openDocument(const core::Ptr<DocumentImpl>& saved);

    bool isCustomEventRegistered(const std::string& eventId);
    // Delivers one queued fire (UI thread).
    void deliverCustomEvent(const std::string& eventId, const std::string& additionalInfo);

    void fireDocumentEvent(const core::Ptr<core::DocumentEvent>& event, const core::Ptr<DocumentImpl>& document);

private:
    void makeActive(const core::Ptr<DocumentImpl>& document);
    void showWorkspaceOf(const core::Ptr<DocumentImpl>& document);

    core::Ptr<UserInterfaceImpl> ui_;
    core::Ptr<CAMManagerImpl> camManager_;
    std::vector<core::Ptr<DocumentImpl>> documents_;
    core::Ptr<DocumentImpl> active_;
    std::vector<std::weak_ptr<DocumentImpl>> activationHistory_;
    int untitled_ = 0;

    core::Ptr<core::DocumentEvent> documentCreated_, documentOpened_, documentActivating_, documentActivated_,
        documentDeactivating_, documentDeactivated_, documentClosing_, documentClosed_, documentSaving_, documentSaved_;

    std::map<std::string, core::Ptr<core::CustomEvent>> customEvents_;
    std::mutex registeredMutex_;
    std::set<std::string> registeredIds_;
};

}  // namespace impl
}  // namespace qrvn
