#pragma once
// DocumentHandlers is the framework's set of document and workspace event
// handlers, owned by the framework singleton, with the application and user
// interface they are attached to, so that they can be detached from exactly
// there. Each concrete handler checks its event, logs what happened and
// calls the registry of its owner (the framework, reached through a plain
// pointer; it detaches the set before it goes). The base classes hold the
// safe-notify guard: notify rejects a missing arguments object and turns
// every failure of safeNotify into one log line, so nothing ever unwinds
// into the host. Host user-interface thread only.

#include <memory>

#include "host/core.h"

namespace EXMI {

class EXMIimpl;

class EXMIDocumentEventHandler : public qrvn::core::DocumentEventHandler {
public:
    explicit EXMIDocumentEventHandler(EXMIimpl* framework) : owner(framework) {}
    void notify(const qrvn::core::Ptr<qrvn::core::DocumentEventArgs>& eventArgs) override;
    virtual void safeNotify(const qrvn::core::Ptr<qrvn::core::DocumentEventArgs>& eventArgs);

protected:
    EXMIimpl* owner;
};

class EXMIWorkspaceEventHandler : public qrvn::core::WorkspaceEventHandler {
public:
    explicit EXMIWorkspaceEventHandler(EXMIimpl* framework) : owner(framework) {}
    void notify(const qrvn::core::Ptr<qrvn::core::WorkspaceEventArgs>& eventArgs) override;
    virtual void safeNotify(const qrvn::core::Ptr<qrvn::core::WorkspaceEventArgs>& eventArgs);

protected:
    EXMIimpl* owner;
};

#define EXMI_DOCUMENT_HANDLER(Name)                                                                                    \
    class Name : public EXMIDocumentEventHandler {                                                                     \
    public:                                                                                                            \
        using EXMIDocumentEventHandler::EXMIDocumentEventHandler;                                                      \
        void safeNotify(const qrvn::core::Ptr<qrvn::core::DocumentEventArgs>& eventArgs) override;                     \
    };

EXMI_DOCUMENT_HANDLER(DocumentOpenedHandler)
EXMI_DOCUMENT_HANDLER(DocumentCreatedHandler)
EXMI_DOCUMENT_HANDLER(DocumentActivatedHandler)
EXMI_DOCUMENT_HANDLER(DocumentActivatingHandler)
EXMI_DOCUMENT_HANDLER(DocumentDeactivatingHandler)
EXMI_DOCUMENT_HANDLER(DocumentClosingHandler)

#undef EXMI_DOCUMENT_HANDLER

// Entering the manufacturing workspace brings the active document under
// management (it may have just got its CAM product).
class CAMWorkspaceActivatedEventHandler : public EXMIWorkspaceEventHandler {
public:
    using EXMIWorkspaceEventHandler::EXMIWorkspaceEventHandler;
    void safeNotify(const qrvn::core::Ptr<qrvn::core::WorkspaceEventArgs>& eventArgs) override;
};

class DocumentHandlers {
public:
    explicit DocumentHandlers(EXMIimpl* framework) : owner(framework) {}

    // Detaches the handlers from where they are, then attaches a fresh set
    // to the application's document events and, when it has a user
    // interface, to its workspace event. Throws for a missing event.
    void attach(const qrvn::core::Ptr<qrvn::core::Application>& application);
    // Detaches them from the events of `application`; throws for a missing
    // event.
    void detachFrom(const qrvn::core::Ptr<qrvn::core::Application>& application);
    // Detaches them from where they were attached; never throws (a missing
    // event cannot deliver to them anyway).
    void detach();

private:
    void detachDocumentEvents(const qrvn::core::Ptr<qrvn::core::Application>& application);

    EXMIimpl* owner;
    std::shared_ptr<DocumentActivatedHandler> documentActivatedHandler;
    std::shared_ptr<DocumentActivatingHandler> documentActivatingHandler;
    std::shared_ptr<DocumentDeactivatingHandler> documentDeactivatingHandler;
    std::shared_ptr<DocumentCreatedHandler> documentCreatedHandler;
    std::shared_ptr<DocumentOpenedHandler> documentOpenedHandler;
    std::shared_ptr<DocumentClosingHandler> documentClosingHandler;
    std::shared_ptr<CAMWorkspaceActivatedEventHandler> workspaceActivatedHandler;
    // Where the handlers are attached right now.
    qrvn::core::Ptr<qrvn::core::Application> attachedApplication;
    qrvn::core::Ptr<qrvn::core::UserInterface> attachedUserInterface;
};

}  // namespace EXMI
