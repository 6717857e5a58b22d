// The add-in's two exported entry points, called by the host on its
// user-interface thread when it loads and unloads the library. They hold
// the add-in's globals (application, user interface, framework) between
// the two calls. Nothing may escape into the host, so both end every
// failure with a log line.
#include <exception>
#include <memory>
#include <string>

#include "addin/vendor_definition.h"
#include "createsetup/create_setup.h"
#include "exmi/exmi.h"
#include "host/core.h"
#include "support/log.h"

// The only symbols the library exports: on Windows by dllexport (a DLL
// exports nothing else once one symbol is marked), elsewhere by default
// visibility under a hidden preset and the version script.
#ifdef _WIN32
#define ADDIN_EXPORT extern "C" __declspec(dllexport)
#else
#define ADDIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

const char* const kAddInName = "Stratavox AddIn";
const char* const kVendor = "Stratavox";

// Kept until the library is unloaded.
qrvn::core::Ptr<qrvn::core::Application> application;
qrvn::core::Ptr<qrvn::core::UserInterface> userInterface;
std::shared_ptr<EXMI::Framework> framework;

bool start() {
    application = qrvn::core::Application::get();
    if (!application) return false;
    userInterface = application->userInterface();
    if (!userInterface) return false;

    const std::vector<EXMI::MachineDefinition> definitions = {addin::makeVendorDefinition()};
    framework = EXMI::make(kAddInName, definitions);
    framework->run();
    CreateSetup::registerCommand(kVendor);
    return true;
}

void finish() {
    if (userInterface) {
        support::logAndNotify(std::string("Stopping ") + kAddInName, "", false, 2);
        if (framework) {
            framework->stop();
            framework.reset();  // the last reference: the framework goes here
        }
        userInterface.reset();
    }
}

}  // namespace

ADDIN_EXPORT bool run() {
    try {
        return start();
    } catch (const std::exception& e) {
        support::log(std::string("Failed ") + e.what(), "run");
        return false;
    }
}

ADDIN_EXPORT bool stop() {
    try {
        finish();
    } catch (const std::exception& e) {
        support::log(std::string("Failed ") + e.what(), "stop");
    }
    try {
        CreateSetup::unregisterCommand(kVendor);
    } catch (const std::exception& e) {
        support::log(std::string("Failed ") + e.what(), "stop");
    }
    return true;
}
