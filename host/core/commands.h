// CommandDefinitions, CommandDefinition, Command: the host's command
// registry and the commands it runs. A definition (a button definition)
// lives until deleted; each time the user starts it (presses a control) the
// host creates a new Command, fires the definition's commandCreated, shows
// the command's dialog built from its inputs, and finally fires execute (OK)
// and destroy. A command without inputs has no dialog: the host executes it
// right after commandCreated. Only one command runs at a time; starting
// another one cancels the running one (destroy). User-interface thread only.
#pragma once

#include <cstddef>
#include <string>

#include "host/core/base.h"
#include "host/core/event_types.h"

namespace qrvn {
namespace core {

class CommandDefinition;
class CommandInputs;

class QRVN_API CommandDefinitions : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::CommandDefinitions")
public:
    virtual size_t count() = 0;
    virtual Ptr<CommandDefinition> item(size_t index) = 0;
    virtual Ptr<CommandDefinition> itemById(const std::string& id) = 0;
    // Empty (last error AlreadyExistsError) when the id is in use.
    virtual Ptr<CommandDefinition> addButtonDefinition(const std::string& id, const std::string& name,
                                                       const std::string& tooltip,
                                                       const std::string& resourceFolder = "") = 0;
};

class QRVN_API CommandDefinition : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::CommandDefinition")
public:
    virtual std::string id() = 0;
    virtual std::string name() = 0;
    virtual std::string tooltip() = 0;
    virtual std::string resourceFolder() = 0;
    virtual Ptr<CommandCreatedEvent> commandCreated() = 0;
    // Starts the command as if the user had pressed its button.
    virtual bool execute() = 0;
    virtual bool deleteMe() = 0;
};

class QRVN_API Command : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Command")
public:
    virtual Ptr<CommandDefinition> parentCommandDefinition() = 0;
    virtual Ptr<CommandInputs> commandInputs() = 0;
    virtual std::string okButtonText() = 0;
    virtual bool okButtonText(const std::string& text) = 0;

    virtual Ptr<CommandEvent> execute() = 0;
    virtual Ptr<CommandEvent> destroy() = 0;
    virtual Ptr<CommandEvent> executePreview() = 0;
    virtual Ptr<InputChangedEvent> inputChanged() = 0;
    virtual Ptr<ValidateInputsEvent> validateInputs() = 0;
};

}  // namespace core
}  // namespace qrvn
