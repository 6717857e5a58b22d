#include "exmi/extensible_machine.h"

#include <exception>

#include "exmi/command_base.h"
#include "support/document.h"
#include "support/log.h"

namespace EXMI {

IExtensibleMachine::IExtensibleMachine(std::string documentUuid, int32_t setupOperationId,
                                       MachineDefinition machineDefinition)
    : operationId(setupOperationId), definition(std::move(machineDefinition)), documentUUID(std::move(documentUuid)),
      active(false) {
    support::log("ExtensibleMachine \"" + instanceName() + "\" is being created",
                 "IExtensibleMachine::IExtensibleMachine");
}

IExtensibleMachine::~IExtensibleMachine() {
    support::log("ExtensibleMachine \"" + instanceName() + "\" is being destroyed",
                 "IExtensibleMachine::~IExtensibleMachine");
}

std::string IExtensibleMachine::instanceName() const { return documentUUID + "/" + std::to_string(operationId); }

void IExtensibleMachine::onHeartBeat() {}
void IExtensibleMachine::onCreate() { support::log(instanceName(), "IExtensibleMachine::onCreate"); }
void IExtensibleMachine::onActivate() { support::log(instanceName(), "IExtensibleMachine::onActivate"); }
void IExtensibleMachine::onDeactivate() { support::log(instanceName(), "IExtensibleMachine::onDeactivate"); }
void IExtensibleMachine::beforeDestroy() { support::log(instanceName(), "IExtensibleMachine::beforeDestroy"); }
void IExtensibleMachine::onChange() { support::log(instanceName(), "IExtensibleMachine::onChange"); }

void IExtensibleMachine::runCommands() {
    for (const auto& command : definition.commands) {
        if (command) command->run();
    }
}

void IExtensibleMachine::stopCommands() {
    for (const auto& command : definition.commands) {
        if (command) command->stop();
    }
}

void IExtensibleMachine::activate() {
    support::log("ExtensibleMachine \"" + instanceName() + "\" is being activated", "IExtensibleMachine::activate");
    if (active) return;
    active = true;
    runCommands();
    onActivate();
}

void IExtensibleMachine::deactivate() {
    if (!active) return;
    active = false;
    support::log("ExtensibleMachine \"" + instanceName() + "\" is being deactivated", "IExtensibleMachine::deactivate");
    stopCommands();
    onDeactivate();
}

void IExtensibleMachine::change() {
    support::log("ExtensibleMachine \"" + instanceName() + "\" is being changed", "IExtensibleMachine::change");
    onChange();
}

void IExtensibleMachine::destroy() {
    if (active) {
        stopCommands();
        active = false;
    }
    beforeDestroy();
}

qrvn::core::Ptr<qrvn::cam::Setup> IExtensibleMachine::getSetup() const {
    qrvn::core::Ptr<qrvn::kalvix::KalvixDocument> document = support::findDocumentByUuid(documentUUID);
    if (!document) return nullptr;
    qrvn::core::Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
    if (!cam) return nullptr;
    qrvn::core::Ptr<qrvn::cam::Setups> setups = cam->setups();
    if (!setups) throw std::exception();
    return setups->itemByOperationId(operationId);
}

}  // namespace EXMI
