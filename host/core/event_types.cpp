#include "host/core/event_types.h"

#include "host/cam/setup_events.h"

namespace qrvn {
namespace core {

DocumentEventArgs::DocumentEventArgs(Ptr<Document> document) : document_(std::move(document)) {}

WorkspaceEventArgs::WorkspaceEventArgs(Ptr<Workspace> workspace) : workspace_(std::move(workspace)) {}

CustomEventArgs::CustomEventArgs(std::string eventId, std::string additionalInfo)
    : eventId_(std::move(eventId)), additionalInfo_(std::move(additionalInfo)) {}

CommandCreatedEventArgs::CommandCreatedEventArgs(Ptr<Command> command) : command_(std::move(command)) {}

CommandEventArgs::CommandEventArgs(Ptr<Command> command) : command_(std::move(command)) {}

InputChangedEventArgs::InputChangedEventArgs(Ptr<Command> command, Ptr<CommandInput> input, Ptr<CommandInputs> inputs)
    : command_(std::move(command)), input_(std::move(input)), inputs_(std::move(inputs)) {}

ValidateInputsEventArgs::ValidateInputsEventArgs(Ptr<Command> command, Ptr<CommandInputs> inputs)
    : command_(std::move(command)), inputs_(std::move(inputs)) {}

HTMLEventArgs::HTMLEventArgs(std::string action, std::string data)
    : action_(std::move(action)), data_(std::move(data)) {}

NavigationEventArgs::NavigationEventArgs(std::string url) : url_(std::move(url)) {}

}  // namespace core

namespace cam {

SetupEventArgs::SetupEventArgs(core::Ptr<Setup> setup) : setup_(std::move(setup)) {}

SetupChangeEventArgs::SetupChangeEventArgs(core::Ptr<Setup> setup, SetupChangeTypes changeType)
    : setup_(std::move(setup)), changeType_(changeType) {}

}  // namespace cam
}  // namespace qrvn
