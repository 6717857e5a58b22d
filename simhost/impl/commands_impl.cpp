#include "simhost/impl/commands_impl.h"

#include "simhost/impl/command_inputs_impl.h"
#include "simhost/impl/common.h"
#include "simhost/impl/ui_impl.h"

namespace qrvn {
namespace impl {

namespace {

class CommandDefinitionsView : public core::CommandDefinitions {
public:
    explicit CommandDefinitionsView(core::Ptr<UserInterfaceImpl> ui) : ui_(std::move(ui)) {}
    size_t count() override { return ui_->definitions_.size(); }
    core::Ptr<core::CommandDefinition> item(size_t index) override { return itemAt(ui_->definitions_, index); }
    core::Ptr<core::CommandDefinition> itemById(const std::string& id) override { return ui_->findDefinition(id); }
    core::Ptr<core::CommandDefinition> addButtonDefinition(const std::string& id, const std::string& name,
                                                           const std::string& tooltip,
                                                           const std::string& resourceFolder) override {
        if (scriptedFailure("CommandDefinitions::addButtonDefinition")) return core::Ptr<core::CommandDefinition>();
        return ui_->addDefinition(id, name, tooltip, resourceFolder);
    }

private:
    core::Ptr<UserInterfaceImpl> ui_;
};

}  // namespace

CommandDefinitionImpl::CommandDefinitionImpl(std::string id, std::string name, std::string tooltip,
                                             std::string resourceFolder)
    : id_(std::move(id)), name_(std::move(name)), tooltip_(std::move(tooltip)),
      resourceFolder_(std::move(resourceFolder)), commandCreated_(make<core::CommandCreatedEvent>("commandCreated")) {}

bool CommandDefinitionImpl::execute() {
    auto ui = lock(ui_);
    if (!valid_ || !ui) return failInvalid("CommandDefinition::execute");
    return ui->startCommand(self(this));
}

bool CommandDefinitionImpl::deleteMe() {
    auto ui = lock(ui_);
    if (!valid_ || !ui) return failInvalid("CommandDefinition::deleteMe");
    if (scriptedFailure("CommandDefinition::deleteMe")) return false;
    ui->removeDefinition(self(this));
    return true;
}

CommandImpl::CommandImpl(core::Ptr<CommandDefinitionImpl> definition)
    : definition_(std::move(definition)), execute_(make<core::CommandEvent>("execute")),
      destroy_(make<core::CommandEvent>("destroy")), executePreview_(make<core::CommandEvent>("executePreview")),
      inputChanged_(make<core::InputChangedEvent>("inputChanged")),
      validateInputs_(make<core::ValidateInputsEvent>("validateInputs")) {}

core::Ptr<CommandInputsImpl> CommandImpl::inputs() {
    if (!inputs_) inputs_ = make<CommandInputsImpl>(weak(self(this)), std::weak_ptr<core::CommandInput>());
    return inputs_;
}

core::Ptr<core::CommandInputs> CommandImpl::commandInputs() {
    if (scriptedFailure("Command::commandInputs")) return core::Ptr<core::CommandInputs>();
    return inputs();
}

bool CommandImpl::okButtonText(const std::string& text) {
    okButtonText_ = text;
    return true;
}

core::Ptr<core::CommandDefinitions> makeCommandDefinitions(const core::Ptr<UserInterfaceImpl>& ui) {
    return make<CommandDefinitionsView>(ui);
}

}  // namespace impl
}  // namespace qrvn
