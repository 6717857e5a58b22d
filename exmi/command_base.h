#pragma once
// EXMI::CommandBase turns a CommandInfo into a working host command: a button
// definition in the host's command registry, its control in a toolbar panel
// (the panel is created in the given tab when it is missing), and five event
// handlers that route the host's command events to the virtual operations
// below. Subclasses override those operations; the base does registration,
// clean-up and error reporting.
//
// Owns the command id, the CommandInfo and its five handlers
// (CommandHandlers). It also
// remembers the definition and the commands its handlers are attached to,
// so that destroying it leaves no handler of its own behind in the host.
// Host user-interface thread only; owned through a shared pointer by
// whoever defines the command, never copied.

#include <memory>
#include <string>
#include <vector>

#include "exmi/command_handlers.h"
#include "exmi/command_info.h"
#include "host/core.h"

namespace EXMI {

class CommandBase {
public:
    // Stores the id and info, warns in the log when the id is already
    // registered with the host, and creates the handlers. Fails (throws)
    // when the host has no user interface or command registry.
    CommandBase(std::string id, CommandInfo commandInfo);
    // Removes control and definition (stop), then releases the handlers.
    virtual ~CommandBase();

    CommandBase(const CommandBase&) = delete;
    CommandBase& operator=(const CommandBase&) = delete;

    virtual void onCreate();
    virtual void onDestroy();
    virtual void onPreview();
    virtual void onInputChanged();
    virtual void onExecute();

    // Registers the definition and places its control; a second run only
    // promotes the existing control. Failures are shown in a message box.
    void run();
    // Removes the control and the definition (not a panel run created).
    // Failures are shown in a message box.
    void stop();

    const std::string& getCommandId() const { return commandId; }
    const CommandInfo& getInfo() const { return info; }

private:
    friend class CommandCreatedHandler;
    friend class CommandDestroyHandler;

    void runOrThrow();
    void stopOrThrow();
    void attachCommandHandlers(const qrvn::core::Ptr<qrvn::core::Command>& command);
    void detachCommandHandlers(const qrvn::core::Ptr<qrvn::core::Command>& command);
    void detachEverything();
    void reportFailure(const std::string& prefix, const std::string& what);

    std::string commandId;
    CommandInfo info;
    CommandHandlers handlers;

    // Where the handlers are attached right now (for the destructor).
    qrvn::core::Ptr<qrvn::core::CommandCreatedEvent> createdEvent;
    std::vector<qrvn::core::Ptr<qrvn::core::Command>> attachedCommands;
};

}  // namespace EXMI
