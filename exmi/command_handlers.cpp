#include "exmi/command_handlers.h"

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

#include "exmi/command_base.h"
#include "support/log.h"
#include "support/require.h"

namespace EXMI {

namespace {

// The common shape of the five handlers: an entry line, then the work,
// with every failure turned into one log line under "<class>::notify".
void guarded(const char* className, CommandBase* owner, const std::function<void()>& work) {
    const std::string name(className);
    support::log("", name + "::" + name);
    if (!owner) return;
    try {
        work();
    } catch (const std::exception& e) {
        support::logAndNotify(std::string("Failed ") + e.what(), name + "::notify", false, 3);
    } catch (...) {
        support::logAndNotify("Failed unknown error", name + "::notify", false, 3);
    }
}

template <class Args>
qrvn::core::Ptr<qrvn::core::Command> commandOf(const qrvn::core::Ptr<Args>& eventArgs) {
    if (!eventArgs) throw std::runtime_error("missing host object: event arguments");
    return eventArgs->command();
}

template <class T>
qrvn::core::Ptr<T> required(qrvn::core::Ptr<T> object, const char* what) {
    return support::required(std::move(object), "missing host object: " + std::string(what));
}

}  // namespace

void CommandCreatedHandler::notify(const qrvn::core::Ptr<qrvn::core::CommandCreatedEventArgs>& eventArgs) {
    guarded("CommandCreatedHandler", owner, [&] {
        owner->attachCommandHandlers(commandOf(eventArgs));
        owner->onCreate();
    });
}

void CommandDestroyHandler::notify(const qrvn::core::Ptr<qrvn::core::CommandEventArgs>& eventArgs) {
    guarded("CommandDestroyHandler", owner, [&] {
        qrvn::core::Ptr<qrvn::core::Command> command = commandOf(eventArgs);
        owner->onDestroy();
        owner->detachCommandHandlers(command);
    });
}

void CommandExecuteHandler::notify(const qrvn::core::Ptr<qrvn::core::CommandEventArgs>&) {
    guarded("CommandExecuteHandler", owner, [&] { owner->onExecute(); });
}

void CommandExecutePreviewHandler::notify(const qrvn::core::Ptr<qrvn::core::CommandEventArgs>&) {
    guarded("CommandExecutePreviewHandler", owner, [&] { owner->onPreview(); });
}

void CommandInputChangeHandler::notify(const qrvn::core::Ptr<qrvn::core::InputChangedEventArgs>&) {
    guarded("CommandInputChangeHandler", owner, [&] { owner->onInputChanged(); });
}

CommandHandlers::CommandHandlers(CommandBase* command)
    : createdHandler(std::make_shared<CommandCreatedHandler>(command)),
      destroyHandler(std::make_shared<CommandDestroyHandler>(command)),
      executeHandler(std::make_shared<CommandExecuteHandler>(command)),
      previewHandler(std::make_shared<CommandExecutePreviewHandler>(command)),
      inputChangeHandler(std::make_shared<CommandInputChangeHandler>(command)) {}

void CommandHandlers::attach(const qrvn::core::Ptr<qrvn::core::Command>& command) const {
    required(command->destroy(), "destroy event")->add(destroyHandler.get());
    required(command->execute(), "execute event")->add(executeHandler.get());
    required(command->inputChanged(), "inputChanged event")->add(inputChangeHandler.get());
    required(command->executePreview(), "executePreview event")->add(previewHandler.get());
}

void CommandHandlers::detach(const qrvn::core::Ptr<qrvn::core::Command>& command) const {
    required(command->destroy(), "destroy event")->remove(destroyHandler.get());
    required(command->execute(), "execute event")->remove(executeHandler.get());
    required(command->inputChanged(), "inputChanged event")->remove(inputChangeHandler.get());
    required(command->executePreview(), "executePreview event")->remove(previewHandler.get());
}

}  // namespace EXMI
