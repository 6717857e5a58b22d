#include "exmi/exmi_impl.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "exmi/machine_description.h"
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

const char kEnsure[] = "EXMIimpl::ensureExtensibleMachineInstances";
const char kPotential[] = "EXMIimpl::handlePotentialNewMachine";
const char kActivate[] = "EXMIimpl::activateExtensibleMachineInstances";
const char kDeactivate[] = "EXMIimpl::deactivateExtensibleMachineInstances";
const char kDestroy[] = "EXMIimpl::destroyExtensibleMachineInstances";

std::string nameOf(const EXMIimpl::Document& document) { return document ? document->name() : std::string(); }

std::string noCamProduct(const EXMIimpl::Document& document) {
    return "Document \"" + nameOf(document) + "\" has no CAM product";
}

// Every setup of the CAM product, in index order. The count is read again
// before every setup, as the collection may change under a hook.
template <class Visit>
void forEachSetup(const Ptr<qrvn::cam::CAM>& cam, Visit visit) {
    Ptr<qrvn::cam::Setups> setups = required(cam->setups());
    for (size_t i = 0; i < setups->count(); ++i) visit(required(setups->item(i)));
}

bool matchesMachine(const MachineDefinition& definition, const MachineDescription& machine) {
    // A setup without a machine is served by no definition.
    return machine.hasMachine && definition.matches(machine.id, machine.vendor, machine.technology);
}

}  // namespace

std::shared_ptr<Framework> make(const std::string& name, const std::vector<MachineDefinition>& machineDefinitions) {
    support::log("Creating EXMI", "EXMI::make");
    return std::make_shared<EXMIimpl>(name, machineDefinitions);
}

EXMIimpl::EXMIimpl(const std::string& addinName, const std::vector<MachineDefinition>& definitions)
    : name(addinName), machineDefinitions(definitions), heartBeat(this, addinName), documentHandlers(this) {
    support::log("---", "EXMI::EXMI");
}

EXMIimpl::~EXMIimpl() {
    support::log("---", "EXMI::~EXMI");
    detachEverything();
}

void EXMIimpl::detachEverything() {
    try {
        for (auto& entry : setupHandlers) entry.second->detach();
    } catch (...) {
        // A destructor must not throw; a CAM product without its events
        // cannot deliver to the handlers anyway.
    }
    documentHandlers.detach();
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
    documentHandlers.attach(required(qrvn::core::Application::get()));
    support::log("End", source);
}

void EXMIimpl::unregisterDocumentHandlers() {
    support::log("Unregister DocumentHandlers", "unregisterDocumentHandlers");
    documentHandlers.detachFrom(required(qrvn::core::Application::get()));
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

// ---- the machine instance registry ----------------------------------------

std::shared_ptr<IExtensibleMachine> EXMIimpl::createInstance(const MachineDefinition& definition,
                                                             const Document& document, int32_t operationId) {
    support::log("Creating new ExtensibleMachine-Instance", kPotential);
    if (!definition.factory) throw std::exception();
    return definition.factory(support::readDocumentUuid(document), operationId, definition);
}

void EXMIimpl::ensureExtensibleMachineInstances(const Document& document) {
    if (!document) return;
    Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
    if (!cam) {
        support::log(noCamProduct(document), kEnsure);
        return;
    }
    Ptr<qrvn::cam::Setups> setups = required(cam->setups());
    support::log("Document \"" + document->name() + "\" has " + std::to_string(setups->count()) + " setups..", kEnsure);
    forEachSetup(cam, [&](const Setup& setup) { handlePotentialNewMachine(document, setup); });
}

void EXMIimpl::handlePotentialNewMachine(const Document& document, const Setup& setup) {
    support::log("", kPotential);
    if (!setup) throw std::exception();
    const int32_t operationId = setup->operationId();
    const MachineDescription machine = describeMachine(setup, true);
    support::log("Setup \"" + setup->name() + "\"; operationId = " + std::to_string(operationId) +
                     "; Machine: " + machine.text(),
                 kPotential);

    const std::string path = support::machinePath(document, setup);
    auto found = instances.find(path);
    if (found == instances.end()) {
        support::log("we don't have instances for this machinePath: " + path, kPotential);
        std::vector<std::shared_ptr<IExtensibleMachine>> created;
        for (const MachineDefinition& definition : machineDefinitions) {
            if (!matchesMachine(definition, machine)) continue;
            std::shared_ptr<IExtensibleMachine> instance = createInstance(definition, document, operationId);
            // A factory whose construction failed gives nothing to manage.
            if (instance) created.push_back(std::move(instance));
        }
        if (created.empty()) return;
        instances[path] = MachineInstances{machine.id, machine.vendor, machine.technology, std::move(created)};
        if (setup->isActive()) activateExtensibleMachineInstances(document, setup);
        return;
    }

    support::log("We already have/have had instances for machinePath = \"" + path + "\"", kPotential);
    if (found->second.machineId == machine.id && found->second.technology == machine.technology) {
        support::log("setup passed is still a machine with id: " + machine.id + ", vendor \"" + machine.vendor +
                         "\" and technology \"" + std::to_string(machine.technology) + "\"",
                     kPotential);
        return;
    }
    support::log("setup has a new machine with different machineId or technology", kPotential);
    support::log("New machineid: " + machine.id + ", vendor = \"" + machine.vendor + "\" and technology = \"" +
                     std::to_string(machine.technology) + "\"",
                 kPotential);

    std::vector<std::shared_ptr<IExtensibleMachine>> stale;
    for (const auto& instance : found->second.machines) {
        if (!matchesMachine(instance->getDefinition(), machine)) stale.push_back(instance);
    }
    for (const auto& instance : stale) {
        auto entry = instances.find(path);
        if (entry != instances.end()) {
            auto& machines = entry->second.machines;
            machines.erase(std::remove(machines.begin(), machines.end(), instance), machines.end());
        }
        instance->destroy();
    }

    // Hooks may have touched the registry; work on the entry as it is now.
    MachineInstances& entry = instances[path];
    entry.machineId = machine.id;
    entry.vendor = machine.vendor;
    entry.technology = machine.technology;
    for (const MachineDefinition& definition : machineDefinitions) {
        if (!matchesMachine(definition, machine)) continue;
        const bool present = std::any_of(entry.machines.begin(), entry.machines.end(), [&](const auto& instance) {
            return instance->getDefinition().name == definition.name;
        });
        if (present) continue;
        std::shared_ptr<IExtensibleMachine> instance = createInstance(definition, document, operationId);
        if (instance) instances[path].machines.push_back(std::move(instance));
    }
    if (!instances[path].machines.empty() && setup->isActive() && document->isActive()) {
        activateExtensibleMachineInstances(document, setup);
    }
}

void EXMIimpl::activateExtensibleMachineInstances(const Document& document, const Setup& setup) {
    support::log("", kActivate);
    Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
    if (!cam) {
        support::log(noCamProduct(document), kActivate);
        return;
    }
    Setup target = setup;
    if (target) {
        const int32_t operationId = target->operationId();
        forEachSetup(cam, [&](const Setup& other) {
            if (other->operationId() != operationId) deactivateExtensibleMachineInstances(document, other);
        });
    } else {
        forEachSetup(cam, [&](const Setup& candidate) {
            if (!target && candidate->isActive()) target = candidate;
        });
        if (!target) return;
    }
    auto found = instances.find(support::machinePath(document, target));
    if (found == instances.end()) return;
    const std::vector<std::shared_ptr<IExtensibleMachine>> snapshot = found->second.machines;
    for (const auto& instance : snapshot) instance->activate();
}

void EXMIimpl::deactivateExtensibleMachineInstances(const Document& document, const Setup& setup) {
    support::log("", kDeactivate);
    if (!setup) {
        Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
        if (!cam) {
            support::log("Can not deactivate as there is no CAM product", kDeactivate);
            return;
        }
        forEachSetup(cam, [&](const Setup& each) { deactivateExtensibleMachineInstances(document, each); });
        return;
    }
    auto found = instances.find(support::machinePath(document, setup));
    if (found == instances.end()) return;
    const std::vector<std::shared_ptr<IExtensibleMachine>> snapshot = found->second.machines;
    for (const auto& instance : snapshot) instance->deactivate();
}

void EXMIimpl::destroyExtensibleMachineInstances(const Document& document, const Setup& setup) {
    support::log("", kDestroy);
    if (!document) return;
    if (!setup) {
        Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
        if (!cam) {
            support::log(noCamProduct(document), kDestroy);
            return;
        }
        forEachSetup(cam, [&](const Setup& each) { destroyExtensibleMachineInstances(document, each); });
        return;
    }
    const std::string path = support::machinePath(document, setup);
    auto found = instances.find(path);
    if (found == instances.end()) return;
    const std::vector<std::shared_ptr<IExtensibleMachine>> snapshot = found->second.machines;
    for (const auto& instance : snapshot) instance->destroy();
    instances.erase(path);
}

void EXMIimpl::handleChangeEvent(const Document& document, const Setup& setup) {
    support::log("", "EXMIimpl::handleChangeEvent");
    if (!setup) throw std::exception();
    const MachineDescription machine = describeMachine(setup, false);
    support::log("Setup \"" + setup->name() + "\"; operationId = " + std::to_string(setup->operationId()) +
                     "; Machine: " + machine.textWithoutTechnology(),
                 "EXMIimpl::HandleChangeEvent");
    auto found = instances.find(support::machinePath(document, setup));
    if (found == instances.end()) return;
    const MachineInstances copy = found->second;
    for (const auto& instance : copy.machines) instance->change();
}

// ---- setup handlers per document -------------------------------------------

void EXMIimpl::registerSetupHandlers(const Document& document) {
    const char source[] = "EXMIimpl::registerSetupHandlers";
    if (!document) return;
    const std::string uuid = support::readDocumentUuid(document);
    support::log("Register SetupHandlers for document= " + document->name() + ", EXMIUUID=" + uuid,
                 "registerSetupHandlers");
    Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
    if (!cam) {
        support::log("Can not register as there is no CAM product", source);
        return;
    }
    if (setupHandlers.count(uuid) != 0) {
        support::log("registerSetupHandlers skipped as " + document->name() + " is already registered", source);
        return;
    }
    setupHandlers[uuid] = std::make_shared<SetupHandlers>(this, cam);
    support::log("Registration successfull", source);
}

void EXMIimpl::unregisterSetupHandlers(const Document& document) {
    const char source[] = "EXMIimpl::unregisterSetupHandlers";
    if (!document) return;
    const std::string uuid = support::readDocumentUuid(document);
    support::log("Unregister SetupHandlers for document= " + document->name() + ", EXMIUUID=" + uuid, source);
    Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
    if (!cam) {
        support::log("Can not unregister as there is no CAM product", source);
        return;
    }
    auto found = setupHandlers.find(uuid);
    if (found == setupHandlers.end()) {
        support::log("unregisterSetupHandlers skipped as " + document->name() +
                         " does not have setupToDestroy handlers",
                     source);
        return;
    }
    // Detached from the product they were added to, which is this document's.
    found->second->detach();
    support::log("Un-Registration successfull", source);
    setupHandlers.erase(found);
}

}  // namespace EXMI
