#include "exmi/document_handlers.h"

#include <exception>
#include <functional>
#include <stdexcept>

#include "exmi/exmi_impl.h"
#include "support/document.h"
#include "support/log.h"
#include "support/require.h"

namespace EXMI {

using qrvn::core::Ptr;

namespace {

constexpr int32_t kInfoIcon = 2;

void guard(const char* source, const char* missingArgs, bool haveArgs, const std::function<void()>& safeNotify) {
    try {
        if (!haveArgs) throw std::runtime_error(missingArgs);
        safeNotify();
    } catch (const std::exception& e) {
        support::logAndNotify(std::string("Failed ") + e.what(), source, false, kInfoIcon);
    } catch (...) {
        support::logAndNotify("Failed unknown error", source, false, kInfoIcon);
    }
}

EXMIimpl::Document documentOf(const Ptr<qrvn::core::DocumentEventArgs>& eventArgs) {
    return eventArgs->document().query<qrvn::kalvix::KalvixDocument>();
}

template <class Handler, class Event>
void attachTo(const std::shared_ptr<Handler>& handler, const Ptr<Event>& event) {
    support::required(event)->add(handler.get());
}

template <class Handler, class Event>
void removeFrom(const std::shared_ptr<Handler>& handler, const Ptr<Event>& event) {
    if (handler && event) event->remove(handler.get());
}

}  // namespace

void EXMIDocumentEventHandler::notify(const Ptr<qrvn::core::DocumentEventArgs>& eventArgs) {
    guard("EXMIDocumentEventHandler::notify", "Invalid DocumentEventArgs", static_cast<bool>(eventArgs),
          [&] { safeNotify(eventArgs); });
}

void EXMIDocumentEventHandler::safeNotify(const Ptr<qrvn::core::DocumentEventArgs>&) {
    support::log("EXMIDocumentEventHandler event occured", "EXMIDocumentEventHandler");
}

void EXMIWorkspaceEventHandler::notify(const Ptr<qrvn::core::WorkspaceEventArgs>& eventArgs) {
    guard("EXMIWorkspaceEventHandler::notify", "Invalid WorkspaceEventArgs", static_cast<bool>(eventArgs),
          [&] { safeNotify(eventArgs); });
}

void EXMIWorkspaceEventHandler::safeNotify(const Ptr<qrvn::core::WorkspaceEventArgs>&) {
    support::log("Workspace event", "EXMIWorkspaceEventHandler");
}

void DocumentOpenedHandler::safeNotify(const Ptr<qrvn::core::DocumentEventArgs>& eventArgs) {
    const char source[] = "DocumentOpenedHandler::safeNotify";
    EXMIimpl::Document document = documentOf(eventArgs);
    if (!document) {
        support::log("Invalid document.", source);
        return;
    }
    // An opened document keeps the identity it was saved with; if it was
    // closed before, it is not closing any more.
    const std::string uuid = support::ensureDocumentUuid(document, {}, false);
    owner->forgetClosing(uuid);
    support::log("Document opened: " + document->name() + "; EXMI-UUID=" + uuid, source);
    owner->registerSetupHandlers(document);
    owner->ensureExtensibleMachineInstances(document);
}

void DocumentCreatedHandler::safeNotify(const Ptr<qrvn::core::DocumentEventArgs>& eventArgs) {
    EXMIimpl::Document document = documentOf(eventArgs);
    if (!document) {
        support::log("", "Document created");
        return;
    }
    // A new document that copies an open one carries its identity; give it
    // its own, or both would share machine paths and setup handlers.
    const std::string uuid = support::ensureDocumentUuid(document, owner->knownDocumentUuids(document), true);
    support::log("Document created: " + document->name() + "; EXMI-UUID=" + uuid, "DocumentCreatedHandler::safeNotify");
    owner->registerSetupHandlers(document);
}

void DocumentActivatedHandler::safeNotify(const Ptr<qrvn::core::DocumentEventArgs>& eventArgs) {
    const char source[] = "DocumentActivatedHandler::safeNotify";
    EXMIimpl::Document document = documentOf(eventArgs);
    if (!document) {
        support::log("Invalid document.", source);
        return;
    }
    const std::string uuid = support::readDocumentUuid(document);
    if (uuid.empty()) {
        support::log("Document activated: " + document->name(), source);
        return;
    }
    support::log("Document activated: " + document->name() + "; EXMI-UUID=" + uuid, source);
    owner->registerSetupHandlers(document);
    owner->ensureExtensibleMachineInstances(document);
    owner->activateExtensibleMachineInstances(document, nullptr);
}

void DocumentActivatingHandler::safeNotify(const Ptr<qrvn::core::DocumentEventArgs>&) {}

void DocumentDeactivatingHandler::safeNotify(const Ptr<qrvn::core::DocumentEventArgs>& eventArgs) {
    const char source[] = "DocumentDeactivatingHandler::safeNotify";
    EXMIimpl::Document document = documentOf(eventArgs);
    if (!document) {
        support::log("Invalid document.", source);
        return;
    }
    support::log("Document deactivating: " + document->name(), source);
    owner->deactivateExtensibleMachineInstances(document, nullptr);
}

void DocumentClosingHandler::safeNotify(const Ptr<qrvn::core::DocumentEventArgs>& eventArgs) {
    const char source[] = "DocumentClosingHandler::safeNotify";
    EXMIimpl::Document document = documentOf(eventArgs);
    if (!document) {
        support::log("Invalid document.", source);
        return;
    }
    owner->noteClosing(support::ensureDocumentUuid(document, {}, false));
    support::log("Document closing: " + document->name(), source);
    owner->unregisterSetupHandlers(document);
    owner->destroyExtensibleMachineInstances(document, nullptr);
}

void CAMWorkspaceActivatedEventHandler::safeNotify(const Ptr<qrvn::core::WorkspaceEventArgs>& eventArgs) {
    const char source[] = "CAMWorkspaceActivatedEventHandler::safeNotify";
    Ptr<qrvn::core::Workspace> workspace = eventArgs->workspace();
    if (!workspace) return;
    const std::string id = workspace->id();
    if (id != "CAMEnvironment") return;
    EXMIimpl::Document document = support::getActiveDocument().query<qrvn::kalvix::KalvixDocument>();
    if (!document) {
        support::log("Invalid document.", source);
        return;
    }
    const std::string uuid = support::ensureDocumentUuid(document, {}, false);
    if (owner->isClosing(uuid)) {
        support::log("Invalid document, currently closing.", source);
        return;
    }
    support::log("CAMWorksacpe Activated: Workspace = " + id + "; EXMI-UUID=" + uuid, source);
    owner->registerSetupHandlers(document);
    owner->ensureExtensibleMachineInstances(document);
}

void DocumentHandlers::attach(const Ptr<qrvn::core::Application>& app) {
    // Attaching again must not leave earlier handlers attached.
    detach();
    attachedApplication = app;
    documentActivatedHandler = std::make_shared<DocumentActivatedHandler>(owner);
    attachTo(documentActivatedHandler, app->documentActivated());
    documentActivatingHandler = std::make_shared<DocumentActivatingHandler>(owner);
    attachTo(documentActivatingHandler, app->documentActivating());
    documentClosingHandler = std::make_shared<DocumentClosingHandler>(owner);
    attachTo(documentClosingHandler, app->documentClosing());
    documentDeactivatingHandler = std::make_shared<DocumentDeactivatingHandler>(owner);
    attachTo(documentDeactivatingHandler, app->documentDeactivating());
    documentOpenedHandler = std::make_shared<DocumentOpenedHandler>(owner);
    attachTo(documentOpenedHandler, app->documentOpened());
    documentCreatedHandler = std::make_shared<DocumentCreatedHandler>(owner);
    attachTo(documentCreatedHandler, app->documentCreated());

    Ptr<qrvn::core::UserInterface> ui = app->userInterface();
    if (ui) {
        attachedUserInterface = ui;
        workspaceActivatedHandler = std::make_shared<CAMWorkspaceActivatedEventHandler>(owner);
        attachTo(workspaceActivatedHandler, ui->workspaceActivated());
    }
}

void DocumentHandlers::detachFrom(const Ptr<qrvn::core::Application>& app) {
    detachDocumentEvents(app);
    Ptr<qrvn::core::UserInterface> ui = app->userInterface();
    if (ui) removeFrom(workspaceActivatedHandler, ui->workspaceActivated());
}

void DocumentHandlers::detach() {
    try {
        if (attachedApplication) detachDocumentEvents(attachedApplication);
        if (attachedUserInterface) removeFrom(workspaceActivatedHandler, attachedUserInterface->workspaceActivated());
    } catch (...) {
        // Nothing to deliver through a missing event.
    }
}

void DocumentHandlers::detachDocumentEvents(const Ptr<qrvn::core::Application>& app) {
    removeFrom(documentActivatedHandler, app->documentActivated());
    removeFrom(documentActivatingHandler, app->documentActivating());
    removeFrom(documentClosingHandler, app->documentClosing());
    removeFrom(documentDeactivatingHandler, app->documentDeactivating());
    removeFrom(documentOpenedHandler, app->documentOpened());
    removeFrom(documentCreatedHandler, app->documentCreated());
}

}  // namespace EXMI
