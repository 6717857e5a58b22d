// Application: the host application itself, one per host process, owned by
// the host. Entry point of everything the add-in reaches: the user interface,
// the open documents, the active view, the document events and the custom
// events.
//
// Threads: every member is called on the host's user-interface thread, with
// two exceptions that any thread may call: Application::get() and
// fireCustomEvent(). fireCustomEvent only queues; the host delivers the event
// later on its user-interface thread (see the simulated host's event loop).
//
// Order of the document events the host fires for its own operations:
//   new or opened document D while A is active:
//     documentDeactivating(A), documentCreated(D) | documentOpened(D),
//     documentActivating(D), [D becomes active], documentDeactivated(A),
//     [workspace switch to D's workspace, if different], documentActivated(D)
//   activating D while A is active:
//     documentDeactivating(A), documentActivating(D), [D becomes active],
//     documentDeactivated(A), [workspace switch], documentActivated(D)
//   closing D:
//     documentClosing(D) (D still valid, and still active if it was),
//     [D removed and invalid], documentClosed(D); if D was active and other
//     documents remain, the most recently active one is activated:
//     documentActivating(N), [N active], [workspace switch],
//     documentActivated(N).  A closing document gets no documentDeactivating.
#pragma once

#include <cstdint>
#include <string>

#include "host/core/base.h"
#include "host/core/event_types.h"

namespace qrvn {
namespace core {

class UserInterface;
class Documents;
class Document;
class Product;
class Viewport;

// Codes returned by getLastError.
enum ErrorCodes {
    GenericErrors = 0,
    NoError = 0,
    UnexpectedError = 1,
    InternalValidationError = 2,
    BadApiCallError = 3,
    InvalidArgumentError = 4,
    NotInitializedError = 5,
    ObjectNotFoundError = 6,
    AlreadyExistsError = 7,
    OperationFailedError = 8,
};

class QRVN_API Application : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Application")
public:
    // The running application; empty when there is none. Any thread.
    static Ptr<Application> get();

    // Empty when the host runs without a user interface.
    virtual Ptr<UserInterface> userInterface() = 0;
    virtual Ptr<Documents> documents() = 0;
    virtual Ptr<Document> activeDocument() = 0;
    virtual Ptr<Product> activeProduct() = 0;
    // The active document's view; empty without an active document.
    virtual Ptr<Viewport> activeView() = 0;

    // The error of the most recent host call on this thread that failed
    // (returned an empty handle or false); NoError when none has failed.
    virtual int getLastError(std::string* description = nullptr) = 0;

    virtual Ptr<DocumentEvent> documentCreated() = 0;
    virtual Ptr<DocumentEvent> documentOpened() = 0;
    virtual Ptr<DocumentEvent> documentActivating() = 0;
    virtual Ptr<DocumentEvent> documentActivated() = 0;
    virtual Ptr<DocumentEvent> documentDeactivating() = 0;
    virtual Ptr<DocumentEvent> documentDeactivated() = 0;
    virtual Ptr<DocumentEvent> documentClosing() = 0;
    virtual Ptr<DocumentEvent> documentClosed() = 0;
    virtual Ptr<DocumentEvent> documentSaving() = 0;
    virtual Ptr<DocumentEvent> documentSaved() = 0;

    // Registers a custom event under a new id; empty (with last error
    // AlreadyExistsError) when the id is registered already.
    virtual Ptr<CustomEvent> registerCustomEvent(const std::string& eventId) = 0;
    // Any thread. Queues one delivery of the event; false when the id is not
    // registered. A delivery whose id was unregistered in the meantime, or
    // whose handler was removed, does nothing.
    virtual bool fireCustomEvent(const std::string& eventId, const std::string& additionalInfo = "") = 0;
    virtual bool unregisterCustomEvent(const std::string& eventId) = 0;
};

}  // namespace core
}  // namespace qrvn
