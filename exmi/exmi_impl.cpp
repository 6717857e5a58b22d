#include "exmi/exmi_impl.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "support/document.h"
#include "support/log.h"
#include "support/require.h"

namespace EXMI {

using qrvn::core::Ptr;

namespace {

constexpr int32_t kInfoIcon = 2;

void logOnly(const std::string& message, const std::string& title) {
    support::logAndNotify(message, title, false, kInfoIcon);
}

using support::required;

Ptr<qrvn::core::Application> application() {
    Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    if (!app) throw std::runtime_error("No App available");
    return app;
}

EXMIimpl::Document documentAt(const Ptr<qrvn::core::Documents>& documents, size_t index) {
    return required(required(documents->item(index)).query<qrvn::kalvix::KalvixDocument>());
}

template <class Handler, class Event>
void attach(const std::shared_ptr<Handler>& handler, const Ptr<Event>& event) {
    required(event)->add(handler.get());
}

template <class Handler, class Event>
void detach(const std::shared_ptr<Handler>& handler, const Ptr<Event>& event) {
    if (handler && event) event->remove(handler.get());
}

}  // namespace

std::shared_ptr<Framework> make(const std::string& name, const std::vector<MachineDefinition>& machineDefinitions) {
    support::log("Creating EXMI", "EXMI::make");
    return std::make_shared<EXMIimpl>(name, machineDefinitions);
}

EXMIimpl::EXMIimpl(const std::string& addinName, const std::vector<MachineDefinition>& definitions)
    : name(addinName), machineDefinitions(definitions), heartBeat(this, addinName) {
    support::log("---", "EXMI::EXMI");
}

EXMIimpl::~EXMIimpl() {
    support::log("---", "EXMI::~EXMI");
    detachEverything();
    workspaceActivatedHandler.reset();
    documentClosingHandler.reset();
    documentOpenedHandler.reset();
    documentCreatedHandler.reset();
    documentDeactivatingHandler.reset();
    documentActivatingHandler.reset();
    documentActivatedHandler.reset();
}

void EXMIimpl::detachEverything() {
    try {
        for (auto& entry : setupHandlers) entry.second->detach();
    } catch (...) {
        // A destructor must not throw; a CAM product without its events
        // cannot deliver to the handlers anyway.
    }
    detachDocumentHandlers();
}

void EXMIimpl::detachDocumentHandlers() {
    try {
        if (handlerApplication) {
            detach(documentActivatedHandler, handlerApplication->documentActivated());
            detach(documentActivatingHandler, handlerApplication->documentActivating());
            detach(documentClosingHandler, handlerApplication->documentClosing());
            detach(documentDeactivatingHandler, handlerApplication->documentDeactivating());
            detach(documentOpenedHandler, handlerApplication->documentOpened());
            detach(documentCreatedHandler, handlerApplication->documentCreated());
        }
        if (handlerUserInterface) detach(workspaceActivatedHandler, handlerUserInterface->workspaceActivated());
    } catch (...) {
        // As above: nothing to deliver through a missing event.
    }
}

void EXMIimpl::run() {
    try {
        runOrThrow();
    } catch (const std::exception& e) {
        logOnly(std::string("Failed ") + e.what(), "EXMI::run");
    }
}

void EXMIimpl::runOrThrow() {
    support::log("============", "========");
    support::log("============", "========");
    logOnly("=== Run EXMI Addin ===", "EXMI AddIn: " + name);
    Ptr<qrvn::core::Application> app = application();
    registerDocumentHandlers();

    Ptr<qrvn::core::Documents> documents = required(app->documents());
    for (size_t i = 0; i < documents->count(); ++i) {
        Document document = documentAt(documents, i);
        std::set<std::string> known;
        for (const auto& entry : setupHandlers) known.insert(entry.first);
        const std::string uuid = support::ensureDocumentUuid(document, known, false);
        logOnly("Handle Existing Document\ndocument " + document->name() + ", EXMI-UUID = " + uuid, "Startup");
        registerSetupHandlers(document);
        ensureExtensibleMachineInstances(document);
    }
    for (const auto& command : addinCommands) {
        if (command) command->run();
    }
    heartBeat.start();
    support::log("Started EXMI AddIn: " + name, "EXMI");
}

void EXMIimpl::stop() {
    try {
        stopOrThrow();
    } catch (const std::exception& e) {
        logOnly(std::string("Failed ") + e.what(), "EXMI::stop");
    }
}

void EXMIimpl::stopOrThrow() {
    support::log("Stopping EXMI AddIn: " + name, "EXMI");
    heartBeat.stop();
    Ptr<qrvn::core::Application> app = application();
    Ptr<qrvn::core::Documents> documents = required(app->documents());
    for (size_t i = 0; i < documents->count(); ++i) {
        Document document = documentAt(documents, i);
        const std::string uuid = support::readDocumentUuid(document);
        logOnly("stop\ndocument " + document->name() + ", EXMI-UUID = " + uuid, "Stop");
        if (!uuid.empty()) {
            unregisterSetupHandlers(document);
            destroyExtensibleMachineInstances(document, nullptr);
        }
    }
    for (const auto& command : addinCommands) {
        if (command) command->stop();
    }
    unregisterDocumentHandlers();
    logOnly("=== Stop EXMI Addin ===", "EXMI AddIn: " + name);
    support::log("============", "========");
    support::log("============", "========");
}

void EXMIimpl::registerDocumentHandlers() {
    const std::string source = "EXMIimpl::registerDocumentHandlers";
    support::log("Start", source);
    Ptr<qrvn::core::Application> app = required(qrvn::core::Application::get());
    // Registering again must not leave earlier handlers attached.
    detachDocumentHandlers();
    handlerApplication = app;

    documentActivatedHandler = std::make_shared<DocumentActivatedHandler>(this);
    attach(documentActivatedHandler, app->documentActivated());
    documentActivatingHandler = std::make_shared<DocumentActivatingHandler>(this);
    attach(documentActivatingHandler, app->documentActivating());
    documentClosingHandler = std::make_shared<DocumentClosingHandler>(this);
    attach(documentClosingHandler, app->documentClosing());
    documentDeactivatingHandler = std::make_shared<DocumentDeactivatingHandler>(this);
    attach(documentDeactivatingHandler, app->documentDeactivating());
    documentOpenedHandler = std::make_shared<DocumentOpenedHandler>(this);
    attach(documentOpenedHandler, app->documentOpened());
    documentCreatedHandler = std::make_shared<DocumentCreatedHandler>(this);
    attach(documentCreatedHandler, app->documentCreated());

    Ptr<qrvn::core::UserInterface> ui = app->userInterface();
    if (ui) {
        handlerUserInterface = ui;
        workspaceActivatedHandler = std::make_shared<CAMWorkspaceActivatedEventHandler>(this);
        attach(workspaceActivatedHandler, ui->workspaceActivated());
    }
    support::log("End", source);
}

void EXMIimpl::unregisterDocumentHandlers() {
    support::log("Unregister DocumentHandlers", "unregisterDocumentHandlers");
    Ptr<qrvn::core::Application> app = required(qrvn::core::Application::get());
    detach(documentActivatedHandler, app->documentActivated());
    detach(documentActivatingHandler, app->documentActivating());
    detach(documentClosingHandler, app->documentClosing());
    detach(documentDeactivatingHandler, app->documentDeactivating());
    detach(documentOpenedHandler, app->documentOpened());
    detach(documentCreatedHandler, app->documentCreated());
    Ptr<qrvn::core::UserInterface> ui = app->userInterface();
    if (ui) detach(workspaceActivatedHandler, ui->workspaceActivated());
}

void EXMIimpl::onHeartBeat() {
    support::log("", "EXMIimpl::onHeartBeat");
    // Snapshot the paths first: a hook may change the registry.
    std::vector<std::string> paths;
    for (const auto& entry : instances) paths.push_back(entry.first);
    for (const std::string& path : paths) {
        auto found = instances.find(path);
        if (found == instances.end()) continue;
        const std::vector<std::shared_ptr<IExtensibleMachine>> snapshot = found->second.machines;
        for (const auto& machine : snapshot) machine->onHeartBeat();
    }
}

std::set<std::string> EXMIimpl::knownDocumentUuids(const Document& except) const {
    std::set<std::string> known;
    for (const auto& entry : setupHandlers) known.insert(entry.first);
    Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    Ptr<qrvn::core::Documents> documents = app ? app->documents() : nullptr;
    if (!documents) return known;
    for (size_t i = 0; i < documents->count(); ++i) {
        Ptr<qrvn::core::Document> other = documents->item(i);
        if (!other || other == except) continue;
        const std::string uuid = support::readDocumentUuid(other);
        if (!uuid.empty()) known.insert(uuid);
    }
    return known;
}

bool EXMIimpl::isClosing(const std::string& documentUuid) const {
    return std::find(closingDocuments.begin(), closingDocuments.end(), documentUuid) != closingDocuments.end();
}

void EXMIimpl::noteClosing(const std::string& documentUuid) { closingDocuments.push_back(documentUuid); }

void EXMIimpl::forgetClosing(const std::string& documentUuid) {
    closingDocuments.erase(std::remove(closingDocuments.begin(), closingDocuments.end(), documentUuid),
                           closingDocuments.end());
}

}  // namespace EXMI
