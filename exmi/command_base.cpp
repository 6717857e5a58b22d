#include "exmi/command_base.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "support/document.h"
#include "support/log.h"
#include "support/require.h"

namespace EXMI {

using qrvn::core::Ptr;

namespace {

// A host object the command needs and did not get.
[[noreturn]] void missing(const std::string& what) { throw std::runtime_error("missing host object: " + what); }

template <class T>
Ptr<T> required(Ptr<T> object, const char* what) {
    return support::required(std::move(object), "missing host object: " + std::string(what));
}

void promote(const Ptr<qrvn::core::CommandControl>& control) {
    control->isPromotedByDefault(true);
    control->isPromoted(true);
}

}  // namespace

std::string composeTooltip(const CommandInfo& info) {
    std::string text;
    if (!info.tooltipImage.empty()) {
        text = " < img src = \"file:///" + info.tooltipImage + "\"><p>";
    }
    return text + info.tooltip + "<br><br>";
}

CommandBase::CommandBase(std::string id, CommandInfo commandInfo)
    : commandId(std::move(id)), info(std::move(commandInfo)), handlers(this) {
    Ptr<qrvn::core::UserInterface> ui = required(support::getUserInterface(), "user interface");
    Ptr<qrvn::core::CommandDefinitions> definitions = required(ui->commandDefinitions(), "command definitions");
    if (definitions->itemById(commandId)) {
        support::logAndNotify("CommandId \"" + commandId +
                                  "\" is already in use. You might experience inconsistent behaviour with this "
                                  "command. Choose a unique ID to resolve this.",
                              "Warning for developers in CommandBase::postCreate()", false, 3);
    }
}

CommandBase::~CommandBase() {
    stop();
    // A command still running, or a definition someone else deletes later,
    // must not call into handlers that are about to go.
    detachEverything();
}

void CommandBase::onCreate() { support::log("...", "CommandBase::onExecute"); }
void CommandBase::onDestroy() { support::log("...", "CommandBase::onDestroy"); }
void CommandBase::onPreview() { support::log("...", "CommandBase::onPreview"); }
void CommandBase::onInputChanged() { support::log("...", "CommandBase::onInputChanged"); }
void CommandBase::onExecute() { support::log("...", "CommandBase::onExecute"); }

void CommandBase::run() {
    try {
        runOrThrow();
    } catch (const std::exception& e) {
        reportFailure("Error in CommandBase::run(): ", e.what());
    }
}

void CommandBase::stop() {
    try {
        stopOrThrow();
    } catch (const std::exception& e) {
        reportFailure("Error in CommandBase::stop(): ", e.what());
    }
}

void CommandBase::reportFailure(const std::string& prefix, const std::string& what) {
    try {
        Ptr<qrvn::core::UserInterface> ui = support::getUserInterface();
        if (ui) ui->messageBox(prefix + what, "", qrvn::core::OKButtonType, qrvn::core::NoIconIconType);
    } catch (const std::exception&) {
        // Nothing more can be told to the user.
    }
}

void CommandBase::runOrThrow() {
    Ptr<qrvn::core::UserInterface> ui = required(support::getUserInterface(), "user interface");
    Ptr<qrvn::core::CommandDefinitions> definitions = ui->commandDefinitions();
    Ptr<qrvn::core::ToolbarPanelList> panels = required(ui->allToolbarPanels(), "toolbar panels");

    Ptr<qrvn::core::ToolbarPanel> panel = panels->itemById(info.panelId);
    if (!panel) {
        Ptr<qrvn::core::ToolbarTabList> tabs = required(ui->allToolbarTabs(), "toolbar tabs");
        Ptr<qrvn::core::ToolbarTab> tab = tabs->itemById(info.tabId);
        if (tab) {
            Ptr<qrvn::core::ToolbarPanels> tabPanels = required(tab->toolbarPanels(), "panels of the toolbar tab");
            panel = tabPanels->add(info.panelId, info.panelName, "", true);
        }
        if (!panel) throw std::runtime_error("Could not find ToolbarPanelID \"" + info.panelId + "\"");
    }

    Ptr<qrvn::core::ToolbarControls> controls = required(panel->controls(), "panel controls");
    Ptr<qrvn::core::CommandControl> existing = controls->itemById(commandId).query<qrvn::core::CommandControl>();
    if (existing) {
        promote(existing);
        return;
    }

    if (!definitions) missing("command definitions");
    Ptr<qrvn::core::CommandDefinition> definition = definitions->itemById(commandId);
    if (!definition) {
        definition = definitions->addButtonDefinition(commandId, info.name, composeTooltip(info), info.resourceFolder);
        if (!definition) throw std::runtime_error("Could not create command!");
    }

    Ptr<qrvn::core::CommandCreatedEvent> created = required(definition->commandCreated(), "commandCreated event");
    if (createdEvent && createdEvent != created) createdEvent->remove(handlers.created());
    created->add(handlers.created());
    createdEvent = created;

    Ptr<qrvn::core::CommandControl> control = controls->addCommand(definition, "", false);
    if (control) promote(control);
}

void CommandBase::stopOrThrow() {
    Ptr<qrvn::core::UserInterface> ui = required(support::getUserInterface(), "user interface");
    Ptr<qrvn::core::CommandDefinitions> definitions = ui->commandDefinitions();
    Ptr<qrvn::core::ToolbarPanelList> panels = required(ui->allToolbarPanels(), "toolbar panels");

    Ptr<qrvn::core::ToolbarPanel> panel = panels->itemById(info.panelId);
    if (!panel) return;
    Ptr<qrvn::core::ToolbarControls> controls = required(panel->controls(), "panel controls");
    Ptr<qrvn::core::ToolbarControl> control = controls->itemById(commandId);
    if (!definitions) missing("command definitions");
    Ptr<qrvn::core::CommandDefinition> definition = definitions->itemById(commandId);
    if (control && control->isValid()) control->deleteMe();
    if (definition && definition->isValid()) definition->deleteMe();
}

void CommandBase::attachCommandHandlers(const Ptr<qrvn::core::Command>& command) {
    if (!command) missing("command");
    handlers.attach(command);
    if (std::find(attachedCommands.begin(), attachedCommands.end(), command) == attachedCommands.end()) {
        attachedCommands.push_back(command);
    }
}

void CommandBase::detachCommandHandlers(const Ptr<qrvn::core::Command>& command) {
    if (!command) missing("command");
    attachedCommands.erase(std::remove(attachedCommands.begin(), attachedCommands.end(), command),
                           attachedCommands.end());
    handlers.detach(command);
}

void CommandBase::detachEverything() {
    const std::vector<Ptr<qrvn::core::Command>> commands = attachedCommands;
    for (const Ptr<qrvn::core::Command>& command : commands) {
        try {
            detachCommandHandlers(command);
        } catch (const std::exception&) {
            // A command without its events cannot call the handlers either.
        }
    }
    attachedCommands.clear();
    if (createdEvent) createdEvent->remove(handlers.created());
    createdEvent.reset();
}

}  // namespace EXMI
