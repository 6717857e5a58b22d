// Test fixture and recording handlers for the simulated host's own tests.
// Each recorder appends "<event>:<subject>" to a shared log, so a test can
// compare the exact order in which the host fired its events.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/qrvn.h"
#include "host/sim/sim.h"

namespace hosttest {

using qrvn::core::Ptr;
using EventLog = std::vector<std::string>;

class DocumentRecorder : public qrvn::core::DocumentEventHandler {
public:
    DocumentRecorder(EventLog& log, std::string event) : log_(log), event_(std::move(event)) {}
    void notify(const Ptr<qrvn::core::DocumentEventArgs>& args) override {
        std::string subject = "<no args>";
        if (args) subject = args->document() ? args->document()->name() : "<no document>";
        log_.push_back(event_ + ":" + subject);
    }

private:
    EventLog& log_;
    std::string event_;
};

class WorkspaceRecorder : public qrvn::core::WorkspaceEventHandler {
public:
    WorkspaceRecorder(EventLog& log, std::string event) : log_(log), event_(std::move(event)) {}
    void notify(const Ptr<qrvn::core::WorkspaceEventArgs>& args) override {
        std::string subject = "<no args>";
        if (args) subject = args->workspace() ? args->workspace()->id() : "<no workspace>";
        log_.push_back(event_ + ":" + subject);
    }

private:
    EventLog& log_;
    std::string event_;
};

class SetupRecorder : public qrvn::cam::SetupEventHandler {
public:
    SetupRecorder(EventLog& log, std::string event) : log_(log), event_(std::move(event)) {}
    void notify(const Ptr<qrvn::cam::SetupEventArgs>& args) override {
        std::string subject = "<no args>";
        if (args && args->setup()) {
            subject = args->setup()->name() + (args->setup()->isActive() ? "(active)" : "");
        }
        log_.push_back(event_ + ":" + subject);
    }

private:
    EventLog& log_;
    std::string event_;
};

class SetupChangeRecorder : public qrvn::cam::SetupChangeEventHandler {
public:
    explicit SetupChangeRecorder(EventLog& log) : log_(log) {}
    void notify(const Ptr<qrvn::cam::SetupChangeEventArgs>& args) override {
        log_.push_back("setupChanged:" + (args && args->setup() ? args->setup()->name() : std::string("<none>")) +
                       "/" + std::to_string(args ? args->changeType() : -1));
    }

private:
    EventLog& log_;
};

// Adds one recorder to each document event of the application, and one to
// each workspace event of its user interface (if it has one).
class HostEventRecorders {
public:
    explicit HostEventRecorders(EventLog& log);
    ~HostEventRecorders();

private:
    std::vector<std::pair<Ptr<qrvn::core::DocumentEvent>, std::unique_ptr<DocumentRecorder>>> documents_;
    std::vector<std::pair<Ptr<qrvn::core::WorkspaceEvent>, std::unique_ptr<WorkspaceRecorder>>> workspaces_;
};

// Adds one recorder to each of the seven setup events of a CAM product.
class SetupRecorders {
public:
    SetupRecorders(EventLog& log, const Ptr<qrvn::cam::CAM>& cam);
    ~SetupRecorders();

private:
    Ptr<qrvn::cam::CAM> cam_;
    std::vector<std::pair<Ptr<qrvn::cam::SetupEvent>, std::unique_ptr<SetupRecorder>>> setups_;
    SetupChangeRecorder change_;
};

// A fresh host per test.
class HostTest : public ::testing::Test {
protected:
    explicit HostTest(const qrvn::sim::HostOptions& options = qrvn::sim::HostOptions()) : session_(options) {}
    Ptr<qrvn::core::Application> app() const { return qrvn::core::Application::get(); }
    Ptr<qrvn::core::UserInterface> ui() const { return app()->userInterface(); }

private:
    qrvn::sim::Session session_;
};

// A library machine spec with the given texts (FFF technology).
qrvn::sim::MachineSpec printer(const std::string& id, const std::string& name, const std::string& vendor,
                               const std::string& model = "");

// The CAM product of a document, or an empty handle.
Ptr<qrvn::cam::CAM> camOf(const Ptr<qrvn::core::Document>& document);

}  // namespace hosttest
