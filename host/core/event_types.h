// The event families of qrvn::core: for each, the arguments the host passes,
// the handler base class an add-in derives from (overriding notify), and the
// event object with add/remove. Arguments are immutable records made by the
// host, except where a handler answers through them (ValidateInputsEventArgs,
// HTMLEventArgs). All delivery happens on the host's user-interface thread.
#pragma once

#include <string>

#include "host/core/events.h"

namespace qrvn {
namespace core {

class Document;
class Workspace;
class Command;
class CommandInput;
class CommandInputs;

#define QRVN_EVENT_CLASS(EventClass, HandlerClass, ArgsClass, Name)                                                    \
    class QRVN_API EventClass : public TypedEvent<HandlerClass, ArgsClass> {                                           \
        QRVN_CLASS_TYPE(Event, Name)                                                                                   \
    public:                                                                                                            \
        using TypedEvent<HandlerClass, ArgsClass>::TypedEvent;                                                         \
    };

// ---- documents ---------------------------------------------------------------

class QRVN_API DocumentEventArgs : public EventArgs {
    QRVN_CLASS_TYPE(EventArgs, "qrvn::core::DocumentEventArgs")
public:
    explicit DocumentEventArgs(Ptr<Document> document);
    Ptr<Document> document() const { return document_; }

private:
    Ptr<Document> document_;
};

class QRVN_API DocumentEventHandler : public EventHandler {
public:
    virtual void notify(const Ptr<DocumentEventArgs>& eventArgs) = 0;
};

QRVN_EVENT_CLASS(DocumentEvent, DocumentEventHandler, DocumentEventArgs, "qrvn::core::DocumentEvent")

// ---- workspaces --------------------------------------------------------------

class QRVN_API WorkspaceEventArgs : public EventArgs {
    QRVN_CLASS_TYPE(EventArgs, "qrvn::core::WorkspaceEventArgs")
public:
    explicit WorkspaceEventArgs(Ptr<Workspace> workspace);
    Ptr<Workspace> workspace() const { return workspace_; }

private:
    Ptr<Workspace> workspace_;
};

class QRVN_API WorkspaceEventHandler : public EventHandler {
public:
    virtual void notify(const Ptr<WorkspaceEventArgs>& eventArgs) = 0;
};

QRVN_EVENT_CLASS(WorkspaceEvent, WorkspaceEventHandler, WorkspaceEventArgs, "qrvn::core::WorkspaceEvent")

// ---- custom events -------------------------------------------------------------

class QRVN_API CustomEventArgs : public EventArgs {
    QRVN_CLASS_TYPE(EventArgs, "qrvn::core::CustomEventArgs")
public:
    CustomEventArgs(std::string eventId, std::string additionalInfo);
    const std::string& eventId() const { return eventId_; }
    const std::string& additionalInfo() const { return additionalInfo_; }

private:
    std::string eventId_;
    std::string additionalInfo_;
};

class QRVN_API CustomEventHandler : public EventHandler {
public:
    virtual void notify(const Ptr<CustomEventArgs>& eventArgs) = 0;
};

class QRVN_API CustomEvent : public TypedEvent<CustomEventHandler, CustomEventArgs> {
    QRVN_CLASS_TYPE(Event, "qrvn::core::CustomEvent")
public:
    explicit CustomEvent(const std::string& eventId)
        : TypedEvent<CustomEventHandler, CustomEventArgs>(eventId), eventId_(eventId) {}
    const std::string& eventId() const { return eventId_; }

private:
    std::string eventId_;
};

// ---- commands ------------------------------------------------------------------

class QRVN_API CommandCreatedEventArgs : public EventArgs {
    QRVN_CLASS_TYPE(EventArgs, "qrvn::core::CommandCreatedEventArgs")
public:
    explicit CommandCreatedEventArgs(Ptr<Command> command);
    Ptr<Command> command() const { return command_; }

private:
    Ptr<Command> command_;
};

class QRVN_API CommandCreatedEventHandler : public EventHandler {
public:
    virtual void notify(const Ptr<CommandCreatedEventArgs>& eventArgs) = 0;
};

QRVN_EVENT_CLASS(CommandCreatedEvent, CommandCreatedEventHandler, CommandCreatedEventArgs,
                 "qrvn::core::CommandCreatedEvent")

class QRVN_API CommandEventArgs : public EventArgs {
    QRVN_CLASS_TYPE(EventArgs, "qrvn::core::CommandEventArgs")
public:
    explicit CommandEventArgs(Ptr<Command> command);
    Ptr<Command> command() const { return command_; }
    // A handler of execute may report that the command failed.
    bool executeFailed() const { return executeFailed_; }
    void executeFailed(bool failed) { executeFailed_ = failed; }
    const std::string& executeFailedMessage() const { return executeFailedMessage_; }
    void executeFailedMessage(const std::string& message) { executeFailedMessage_ = message; }

private:
    Ptr<Command> command_;
    bool executeFailed_ = false;
    std::string executeFailedMessage_;
};

class QRVN_API CommandEventHandler : public EventHandler {
public:
    virtual void notify(const Ptr<CommandEventArgs>& eventArgs) = 0;
};

QRVN_EVENT_CLASS(CommandEvent, CommandEventHandler, CommandEventArgs, "qrvn::core::CommandEvent")

class QRVN_API InputChangedEventArgs : public EventArgs {
    QRVN_CLASS_TYPE(EventArgs, "qrvn::core::InputChangedEventArgs")
public:
    InputChangedEventArgs(Ptr<Command> command, Ptr<CommandInput> input, Ptr<CommandInputs> inputs);
    Ptr<Command> command() const { return command_; }
    Ptr<CommandInput> input() const { return input_; }
    Ptr<CommandInputs> inputs() const { return inputs_; }

private:
    Ptr<Command> command_;
    Ptr<CommandInput> input_;
    Ptr<CommandInputs> inputs_;
};

class QRVN_API InputChangedEventHandler : public EventHandler {
public:
    virtual void notify(const Ptr<InputChangedEventArgs>& eventArgs) = 0;
};

QRVN_EVENT_CLASS(InputChangedEvent, InputChangedEventHandler, InputChangedEventArgs, "qrvn::core::InputChangedEvent")

class QRVN_API ValidateInputsEventArgs : public EventArgs {
    QRVN_CLASS_TYPE(EventArgs, "qrvn::core::ValidateInputsEventArgs")
public:
    ValidateInputsEventArgs(Ptr<Command> command, Ptr<CommandInputs> inputs);
    Ptr<Command> command() const { return command_; }
    Ptr<CommandInputs> inputs() const { return inputs_; }
    // True unless a handler declares the inputs invalid; the host then keeps
    // the dialog open instead of executing.
    bool areInputsValid() const { return areInputsValid_; }
    void areInputsValid(bool valid) { areInputsValid_ = valid; }

private:
    Ptr<Command> command_;
    Ptr<CommandInputs> inputs_;
    bool areInputsValid_ = true;
};

class QRVN_API ValidateInputsEventHandler : public EventHandler {
public:
    virtual void notify(const Ptr<ValidateInputsEventArgs>& eventArgs) = 0;
};

QRVN_EVENT_CLASS(ValidateInputsEvent, ValidateInputsEventHandler, ValidateInputsEventArgs,
                 "qrvn::core::ValidateInputsEvent")

// ---- palettes ------------------------------------------------------------------

// A message the page in a palette sent to the host.
class QRVN_API HTMLEventArgs : public EventArgs {
    QRVN_CLASS_TYPE(EventArgs, "qrvn::core::HTMLEventArgs")
public:
    HTMLEventArgs(std::string action, std::string data);
    const std::string& action() const { return action_; }
    const std::string& data() const { return data_; }
    // The text handed back to the page as the answer to its message.
    const std::string& returnData() const { return returnData_; }
    void returnData(const std::string& data) { returnData_ = data; }

private:
    std::string action_;
    std::string data_;
    std::string returnData_;
};

class QRVN_API HTMLEventHandler : public EventHandler {
public:
    virtual void notify(const Ptr<HTMLEventArgs>& eventArgs) = 0;
};

QRVN_EVENT_CLASS(HTMLEvent, HTMLEventHandler, HTMLEventArgs, "qrvn::core::HTMLEvent")

// A navigation of the palette's web view.
class QRVN_API NavigationEventArgs : public EventArgs {
    QRVN_CLASS_TYPE(EventArgs, "qrvn::core::NavigationEventArgs")
public:
    explicit NavigationEventArgs(std::string url);
    const std::string& url() const { return url_; }

private:
    std::string url_;
};

class QRVN_API NavigationEventHandler : public EventHandler {
public:
    virtual void notify(const Ptr<NavigationEventArgs>& eventArgs) = 0;
};

QRVN_EVENT_CLASS(NavigationEvent, NavigationEventHandler, NavigationEventArgs, "qrvn::core::NavigationEvent")

}  // namespace core
}  // namespace qrvn
