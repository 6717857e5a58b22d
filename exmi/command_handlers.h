#pragma once
// The five host event handlers of a CommandBase. Each one forwards a host
// command event to a virtual operation of its owner, never lets a failure
// reach the host (it logs "Failed " + the error instead), and keeps only a
// plain pointer to the owner, which outlives it. Host user-interface thread
// only.

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

}  // namespace EXMI
