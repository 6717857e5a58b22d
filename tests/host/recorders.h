// Test fixture and recording handlers for the simulated host's own tests.
// Each recorder appends "<event>:<subject>" to a shared log, so a test can
// compare the exact order in which the host fired its events. Everything
// here runs on the test's main (UI) thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/qrvn.h"
#include "simhost/sim/sim.h"

namespace hosttest {

using qrvn::core::Ptr;
using EventLog = std::vector<std::string>;

template <class Handler, class Args>
class Recorder : public Handler {
public:
    using Describe = std::function<std::string(const Ptr<Args>&)>;
    Recorder(EventLog& log, std::string event, Describe describe)
        : log_(log), event_(std::move(event)), describe_(std::move(describe)) {}
    void notify(const Ptr<Args>& args) override {
        log_.push_back(event_ + ":" + (args ? describe_(args) : std::string("<no args>")));
    }

private:
    EventLog& log_;
    std::string event_;
    Describe describe_;
};

std::string documentName(const Ptr<qrvn::core::DocumentEventArgs>& args);

class DocumentRecorder : public Recorder<qrvn::core::DocumentEventHandler, qrvn::core::DocumentEventArgs> {
public:
    DocumentRecorder(EventLog& log, std::string event) : Recorder(log, std::move(event), documentName) {}
};

// Adds recorders to events and removes them again when it goes out of scope.
class Recorders {
public:
    Recorders() = default;
    Recorders(const Recorders&) = delete;
    Recorders& operator=(const Recorders&) = delete;
    ~Recorders() {
        for (auto& undo : undo_) undo();
    }

    template <class Event, class Describe>
    void add(EventLog& log, const Ptr<Event>& event, const std::string& name, Describe describe) {
        addTyped(log, event, *event, name, describe);
    }

private:
    template <class Event, class Handler, class Args, class Describe>
    void addTyped(EventLog& log, const Ptr<Event>& event, qrvn::core::TypedEvent<Handler, Args>&,
                  const std::string& name, Describe describe) {
        auto recorder = std::make_shared<Recorder<Handler, Args>>(log, name, describe);
        event->add(recorder.get());
        undo_.push_back([event, recorder] { event->remove(recorder.get()); });
    }

    std::vector<std::function<void()>> undo_;
};

// One recorder on each document event of the application, and one on each
// workspace event of its user interface (if it has one).
class HostEventRecorders : public Recorders {
public:
    explicit HostEventRecorders(EventLog& log);
};

// A fresh host per test.
class HostTest : public ::testing::Test {
protected:
    explicit HostTest(const qrvn::sim::HostOptions& options = qrvn::sim::HostOptions()) : session_(options) {}
    Ptr<qrvn::core::Application> app() const { return qrvn::core::Application::get(); }
    Ptr<qrvn::core::UserInterface> ui() const { return app()->userInterface(); }
    // A file name in the test temp folder, unique to the running test.
    static std::string tempPath(const std::string& suffix) {
        return ::testing::TempDir() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
    }

private:
    qrvn::sim::Session session_;
};

// A library machine spec with the given texts (FFF technology).
qrvn::sim::MachineSpec printer(const std::string& id, const std::string& name, const std::string& vendor,
                               const std::string& model = "");

// The CAM product of a document, or an empty handle.
Ptr<qrvn::cam::CAM> camOf(const Ptr<qrvn::core::Document>& document);

}  // namespace hosttest
