#pragma once
// The framework's document and workspace event handlers. Each concrete
// handler checks its event, logs what happened and calls the registry of
// its owner (the framework singleton, reached through a plain pointer; the
// framework keeps the handlers and detaches them before it goes). The base
// classes hold the safe-notify guard: notify rejects a missing arguments
// object and turns every failure of safeNotify into one log line, so
// nothing ever unwinds into the host. Host user-interface thread only.

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

}  // namespace EXMI
