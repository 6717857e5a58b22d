// The simulated command registry and commands. A definition is owned by the
// user interface until deleted; a command is made by the user interface each
// time a definition is started and lives (valid) until its destroy event has
// been delivered. The flow is driven by UserInterfaceImpl (startCommand,
// okCommand, cancelCommand). User-interface thread only.
#pragma once

#include <memory>
#include <string>

#include "host/core/commands.h"

namespace qrvn {
namespace impl {

class UserInterfaceImpl;
class CommandInputsImpl;

class CommandDefinitionImpl : public core::CommandDefinition {
public:
    CommandDefinitionImpl(std::string id, std::string name, std::string tooltip, std::string resourceFolder);
    std::string id() override { return id_; }
    std::string name() override { return name_; }
    std::string tooltip() override { return tooltip_; }
    std::string resourceFolder() override { return resourceFolder_; }
    core::Ptr<core::CommandCreatedEvent> commandCreated() override { return commandCreated_; }
    bool execute() override;
    bool deleteMe() override;
    bool isValid() override { return valid_; }

    std::string id_, name_, tooltip_, resourceFolder_;
    std::weak_ptr<UserInterfaceImpl> ui_;
    core::Ptr<core::CommandCreatedEvent> commandCreated_;
    bool valid_ = true;
};

class CommandImpl : public core::Command {
public:
    explicit CommandImpl(core::Ptr<CommandDefinitionImpl> definition);
    core::Ptr<core::CommandDefinition> parentCommandDefinition() override { return definition_; }
    core::Ptr<core::CommandInputs> commandInputs() override;
    std::string okButtonText() override { return okButtonText_; }
    bool okButtonText(const std::string& text) override;
    core::Ptr<core::CommandEvent> execute() override { return execute_; }
    core::Ptr<core::CommandEvent> destroy() override { return destroy_; }
    core::Ptr<core::CommandEvent> executePreview() override { return executePreview_; }
    core::Ptr<core::InputChangedEvent> inputChanged() override { return inputChanged_; }
    core::Ptr<core::ValidateInputsEvent> validateInputs() override { return validateInputs_; }
    bool isValid() override { return valid_; }

    core::Ptr<CommandInputsImpl> inputs();

    core::Ptr<CommandDefinitionImpl> definition_;
    core::Ptr<CommandInputsImpl> inputs_;
    std::string okButtonText_ = "OK";
    bool valid_ = true;
    bool executed_ = false;
    core::Ptr<core::CommandEvent> execute_, destroy_, executePreview_;
    core::Ptr<core::InputChangedEvent> inputChanged_;
    core::Ptr<core::ValidateInputsEvent> validateInputs_;
};

// The view of the user interface's definitions.
core::Ptr<core::CommandDefinitions> makeCommandDefinitions(const core::Ptr<UserInterfaceImpl>& ui);

}  // namespace impl
}  // namespace qrvn
