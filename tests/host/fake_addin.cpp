// A minimal add-in for the loader test, built like the real one: a shared
// library with hidden visibility that exports only run and stop. run adds a
// command definition and a document handler; stop removes both.
#include "host/qrvn.h"

namespace {

using namespace qrvn;

class CreatedMarker : public core::DocumentEventHandler {
public:
    void notify(const core::Ptr<core::DocumentEventArgs>& args) override {
        if (!args) return;
        auto document = args->document().query<kalvix::KalvixDocument>();
        if (!document) return;
        document->attributes()->add("FakeAddIn", "seen", "1");
    }
};

CreatedMarker marker;

}  // namespace

extern "C" __attribute__((visibility("default"))) bool run() {
    auto app = core::Application::get();
    if (!app || !app->userInterface()) return false;
    app->documentCreated()->add(&marker);
    return static_cast<bool>(
        app->userInterface()->commandDefinitions()->addButtonDefinition("FakeAddInCommand", "Fake", "Tip", ""));
}

extern "C" __attribute__((visibility("default"))) bool stop() {
    auto app = core::Application::get();
    if (!app) return true;
    app->documentCreated()->remove(&marker);
    if (auto ui = app->userInterface()) {
        if (auto definition = ui->commandDefinitions()->itemById("FakeAddInCommand")) definition->deleteMe();
    }
    return true;
}
