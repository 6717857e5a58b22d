#pragma once
// CommandHandlers is the set of five host event handlers of one CommandBase,
// which owns it: the one added to the button definition's commandCreated and
// the four attached to every command the host creates from it. Each handler
// forwards a host command event to a virtual operation of the command, never
// lets a failure reach the host (it logs "Failed " + the error instead), and
// keeps only a plain pointer to the command, which outlives it. Host
// user-interface thread only.

#include <memory>

#include "host/core.h"

namespace EXMI {

class CommandBase;

// Added to the button definition's commandCreated: attaches the four
// command handlers to the new command, then calls onCreate.
class CommandCreatedHandler : public qrvn::core::CommandCreatedEventHandler {
public:
    explicit CommandCreatedHandler(CommandBase* command) : owner(command) {}
    void notify(const qrvn::core::Ptr<qrvn::core::CommandCreatedEventArgs>& eventArgs) override;

private:
    CommandBase* owner;
};

// Added to the command's destroy: calls onDestroy, then detaches the four
// command handlers.
class CommandDestroyHandler : public qrvn::core::CommandEventHandler {
public:
    explicit CommandDestroyHandler(CommandBase* command) : owner(command) {}
    void notify(const qrvn::core::Ptr<qrvn::core::CommandEventArgs>& eventArgs) override;

private:
    CommandBase* owner;
};

class CommandExecuteHandler : public qrvn::core::CommandEventHandler {
public:
    explicit CommandExecuteHandler(CommandBase* command) : owner(command) {}
    void notify(const qrvn::core::Ptr<qrvn::core::CommandEventArgs>& eventArgs) override;

private:
    CommandBase* owner;
};

class CommandExecutePreviewHandler : public qrvn::core::CommandEventHandler {
public:
    explicit CommandExecutePreviewHandler(CommandBase* command) : owner(command) {}
    void notify(const qrvn::core::Ptr<qrvn::core::CommandEventArgs>& eventArgs) override;

private:
    CommandBase* owner;
};

class CommandInputChangeHandler : public qrvn::core::InputChangedEventHandler {
public:
    explicit CommandInputChangeHandler(CommandBase* command) : owner(command) {}
    void notify(const qrvn::core::Ptr<qrvn::core::InputChangedEventArgs>& eventArgs) override;

private:
    CommandBase* owner;
};

class CommandHandlers {
public:
    explicit CommandHandlers(CommandBase* command);

    // Added to the definition's commandCreated event.
    CommandCreatedHandler* created() const { return createdHandler.get(); }
    // Adds the other four to the command's events; throws for a missing
    // command or event.
    void attach(const qrvn::core::Ptr<qrvn::core::Command>& command) const;
    // Removes them again; throws for a missing command or event.
    void detach(const qrvn::core::Ptr<qrvn::core::Command>& command) const;

private:
    std::shared_ptr<CommandCreatedHandler> createdHandler;
    std::shared_ptr<CommandDestroyHandler> destroyHandler;
    std::shared_ptr<CommandExecuteHandler> executeHandler;
    std::shared_ptr<CommandExecutePreviewHandler> previewHandler;
    std::shared_ptr<CommandInputChangeHandler> inputChangeHandler;
};

}  // namespace EXMI
