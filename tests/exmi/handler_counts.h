#pragma once
// How many handlers are attached to the host's document and workspace
// events, and to a document's setup events: what the framework attaches it
// must take off again.

#include <cstddef>

#include "host/qrvn.h"
#include "support/document.h"

namespace exmi_test {

inline size_t documentHandlerCount() {
    qrvn::core::Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    return app->documentActivated()->handlerCount() + app->documentActivating()->handlerCount() +
           app->documentDeactivating()->handlerCount() + app->documentCreated()->handlerCount() +
           app->documentOpened()->handlerCount() + app->documentClosing()->handlerCount() +
           app->userInterface()->workspaceActivated()->handlerCount();
}

inline size_t setupHandlerCount(const qrvn::core::Ptr<qrvn::core::Document>& document) {
    qrvn::core::Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
    return cam->setupCreated()->handlerCount() + cam->setupDestroying()->handlerCount() +
           cam->setupActivated()->handlerCount() + cam->setupActivating()->handlerCount() +
           cam->setupDeactivated()->handlerCount() + cam->setupDeactivating()->handlerCount() +
           cam->setupChanged()->handlerCount();
}

}  // namespace exmi_test
