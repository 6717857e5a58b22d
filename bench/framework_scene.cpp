#include "bench/framework_scene.h"

#include <stdexcept>
#include <string>

#include "simhost/sim/cam.h"
#include "simhost/sim/documents.h"
#include "simhost/sim/event_loop.h"

namespace bench {
namespace {

// A machine instance that does nothing but count its ticks, so that a
// tick's cost is the framework's own.
class CountingMachine : public EXMI::IExtensibleMachine {
public:
    CountingMachine(std::shared_ptr<uint64_t> beats, const std::string& documentUuid, int32_t operationId,
                    EXMI::MachineDefinition definition)
        : EXMI::IExtensibleMachine(documentUuid, operationId, std::move(definition)), beats_(std::move(beats)) {}
    void onHeartBeat() override { ++*beats_; }

private:
    std::shared_ptr<uint64_t> beats_;
};

EXMI::MachineDefinition countingDefinition(const std::shared_ptr<uint64_t>& beats) {
    EXMI::MachineDefinition definition;
    definition.name = "Benchmark Machine";
    definition.vendors = {"Stratavox"};
    definition.factory = [beats](const std::string& uuid, int32_t operationId, EXMI::MachineDefinition copy) {
        return std::make_shared<CountingMachine>(beats, uuid, operationId, std::move(copy));
    };
    return definition;
}

}  // namespace

FrameworkScene::FrameworkScene(int documents, int setupsPerDocument) : beats_(std::make_shared<uint64_t>(0)) {
    qrvn::sim::MachineSpec spec;
    spec.id = "svx-bench";
    spec.name = "Stratavox Bench";
    spec.vendor = "Stratavox";
    spec.model = "Bench";
    spec.description = "Bench printer";
    const auto machine = qrvn::sim::addMachine(spec);
    for (int d = 0; d < documents; ++d) {
        auto document = qrvn::sim::newDocument("Part " + std::to_string(d + 1));
        qrvn::sim::ensureCamProduct(document);
        for (int s = 0; s < setupsPerDocument; ++s)
            qrvn::sim::addSetup(document, "Print " + std::to_string(s + 1), machine);
        documents_.push_back(document);
    }
    qrvn::sim::pump();
}

FrameworkScene::~FrameworkScene() {
    if (framework_) stopAndRelease();
}

void FrameworkScene::make() { framework_ = EXMI::make("Benchmark AddIn", {countingDefinition(beats_)}); }

void FrameworkScene::run() {
    if (!framework_) throw std::logic_error("make the framework first");
    framework_->run();
}

void FrameworkScene::stopAndRelease() {
    if (!framework_) return;
    framework_->stop();
    framework_.reset();
    qrvn::sim::pump();
}

void FrameworkScene::tick() {
    qrvn::core::Application::get()->fireCustomEvent(impl().getHeartBeat().getEventId(), "");
    qrvn::sim::pump();
}

size_t FrameworkScene::instanceCount() const {
    size_t count = 0;
    for (const auto& entry : impl().getInstances()) count += entry.second.machines.size();
    return count;
}

EXMI::EXMIimpl& FrameworkScene::impl() const {
    if (!framework_) throw std::logic_error("no framework");
    return static_cast<EXMI::EXMIimpl&>(*framework_);
}

}  // namespace bench
