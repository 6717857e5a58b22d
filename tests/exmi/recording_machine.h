#pragma once
// A machine instance for tests that writes every hook call into a journal
// shared by the test, and the definition that makes it (vendor
// "Stratavox"). The hooks call the base so its log lines appear too.

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "exmi/extensible_machine.h"

namespace exmi_test {

struct Journal {
    std::vector<std::string> calls;  // "onActivate <instance name>", ...
    std::vector<std::thread::id> beatThreads;
    std::vector<std::string> beats;  // instance names, one per onHeartBeat
    std::vector<std::chrono::steady_clock::time_point> beatTimes;
    int destroyed = 0;   // destructors run
    std::string failIn;  // hook that throws, e.g. "onActivate"

    std::vector<std::string> callsOf(const std::string& hook) const {
        std::vector<std::string> result;
        for (const std::string& call : calls) {
            if (call.compare(0, hook.size() + 1, hook + " ") == 0) result.push_back(call.substr(hook.size() + 1));
        }
        return result;
    }
};

class RecordingMachine : public EXMI::IExtensibleMachine {
public:
    RecordingMachine(std::shared_ptr<Journal> journal, const std::string& documentUuid, int32_t operationId,
                     EXMI::MachineDefinition definition)
        : EXMI::IExtensibleMachine(documentUuid, operationId, std::move(definition)), journal_(std::move(journal)) {
        journal_->calls.push_back("create " + instanceName());
    }
    ~RecordingMachine() override { ++journal_->destroyed; }

    void onHeartBeat() override {
        journal_->beatThreads.push_back(std::this_thread::get_id());
        journal_->beats.push_back(instanceName());
        journal_->beatTimes.push_back(std::chrono::steady_clock::now());
        record("onHeartBeat");
    }
    void onActivate() override {
        IExtensibleMachine::onActivate();
        record("onActivate");
    }
    void onDeactivate() override {
        IExtensibleMachine::onDeactivate();
        record("onDeactivate");
    }
    void beforeDestroy() override {
        IExtensibleMachine::beforeDestroy();
        record("beforeDestroy");
    }
    void onChange() override {
        IExtensibleMachine::onChange();
        record("onChange");
    }

private:
    void record(const std::string& hook) {
        if (hook != "onHeartBeat") journal_->calls.push_back(hook + " " + instanceName());
        if (journal_->failIn == hook) throw std::runtime_error(hook + " failed");
    }

    std::shared_ptr<Journal> journal_;
};

// A definition named `name` for vendor "Stratavox" whose factory makes
// RecordingMachines writing to `journal`.
inline EXMI::MachineDefinition recordingDefinition(const std::shared_ptr<Journal>& journal,
                                                   const std::string& name = "Stratavox Machine") {
    EXMI::MachineDefinition definition;
    definition.name = name;
    definition.vendors = {"Stratavox"};
    definition.factory = [journal](const std::string& uuid, int32_t operationId, EXMI::MachineDefinition copy) {
        return std::make_shared<RecordingMachine>(journal, uuid, operationId, std::move(copy));
    };
    return definition;
}

}  // namespace exmi_test
