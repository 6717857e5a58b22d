#pragma once
// Fixture for tests of the running framework: a fresh simulated host, a log
// under a private APPDATA, the vendor's test definition with a recording
// machine, and a few library machines. The framework is made by start()
// and released before the host ends.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "exmi/exmi.h"
#include "exmi/exmi_impl.h"
#include "host/qrvn.h"
#include "simhost/sim/cam.h"
#include "simhost/sim/documents.h"
#include "simhost/sim/event_loop.h"
#include "simhost/sim/host.h"
#include "simhost/sim/ui.h"
#include "support/document.h"
#include "tests/exmi/handler_counts.h"
#include "tests/exmi/log_reader.h"
#include "tests/exmi/recording_machine.h"

namespace exmi_test {

using qrvn::core::Ptr;
using Document = Ptr<qrvn::kalvix::KalvixDocument>;
using CamSetup = Ptr<qrvn::cam::Setup>;

inline qrvn::sim::MachineSpec machineSpec(const std::string& id, const std::string& vendor, const std::string& model,
                                          int technology) {
    qrvn::sim::MachineSpec spec;
    spec.id = id;
    spec.name = vendor + " " + model;
    spec.vendor = vendor;
    spec.model = model;
    spec.description = model + " printer";
    spec.technology = technology;
    return spec;
}

class FrameworkTest : public ::testing::Test {
protected:
    explicit FrameworkTest(const qrvn::sim::HostOptions& options = qrvn::sim::HostOptions())
        : host(options), journal(std::make_shared<Journal>()) {
        if (!options.withApplication) return;
        svxOne = qrvn::sim::addMachine(machineSpec("svx-one", "Stratavox", "One", qrvn::cam::FFFMachineTechnology));
        svxTwo = qrvn::sim::addMachine(machineSpec("svx-two", "Stratavox", "Two", qrvn::cam::SLAMachineTechnology));
        other = qrvn::sim::addMachine(machineSpec("oth-one", "Otherco", "Uno", qrvn::cam::FFFMachineTechnology));
    }

    void start(std::vector<EXMI::MachineDefinition> definitions = {}) {
        if (definitions.empty()) definitions.push_back(recordingDefinition(journal));
        framework = EXMI::make("Stratavox AddIn", definitions);
        framework->run();
    }

    EXMI::EXMIimpl& impl() { return static_cast<EXMI::EXMIimpl&>(*framework); }

    static std::string uuidOf(const Ptr<qrvn::core::Document>& document) { return support::readDocumentUuid(document); }

    // The description of a machine as the registry logs it.
    static std::string described(const Ptr<qrvn::cam::Machine>& machine, bool withTechnology) {
        std::string text = "vendor = \"" + machine->vendor() + "\"; model = \"" + machine->model() +
                           "\"; description = \"" + machine->description() + "\"; id = \"" + machine->id() + "\"";
        if (withTechnology) {
            text += "; Technology = \"" + std::to_string(machine->capabilities()->technology()) + "\"";
        }
        return text;
    }

    static Document camDocument(const std::string& name) {
        Document document = qrvn::sim::newDocument(name);
        qrvn::sim::ensureCamProduct(document);
        return document;
    }

    std::vector<std::string> callsSince(size_t mark) const {
        return std::vector<std::string>(journal->calls.begin() + static_cast<std::ptrdiff_t>(mark),
                                        journal->calls.end());
    }

    LogFile log;
    qrvn::sim::Session host;
    std::shared_ptr<Journal> journal;
    Ptr<qrvn::cam::Machine> svxOne, svxTwo, other;
    std::shared_ptr<EXMI::Framework> framework;  // released first
};

}  // namespace exmi_test
