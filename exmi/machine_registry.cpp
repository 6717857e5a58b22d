// The machine instance registry of EXMIimpl: which machine instances exist
// for which setup, and their lifecycle as setups and documents come and go.
#include <algorithm>
#include <exception>

#include "exmi/exmi_impl.h"
#include "exmi/machine_description.h"
#include "support/document.h"
#include "support/log.h"
#include "support/require.h"

namespace EXMI {

using qrvn::core::Ptr;

namespace {

const char kEnsure[] = "EXMIimpl::ensureExtensibleMachineInstances";
const char kPotential[] = "EXMIimpl::handlePotentialNewMachine";
const char kActivate[] = "EXMIimpl::activateExtensibleMachineInstances";
const char kDeactivate[] = "EXMIimpl::deactivateExtensibleMachineInstances";
const char kDestroy[] = "EXMIimpl::destroyExtensibleMachineInstances";

using support::required;

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

}  // namespace EXMI
