#pragma once
// EXMIimpl, the framework singleton: owns the machine definitions, the
// machine instance registry (one MachineInstances per machine path), the
// per-document setup handler sets (SetupHandlers), the document and
// workspace handlers (DocumentHandlers) and the heartbeat. Its run/stop bring the open documents under management and
// release them; the registry operations are driven by the host event
// handlers. Everything runs on the host's user-interface thread, except the
// heartbeat's own thread, which touches none of this.
//
// When it is destroyed it detaches whatever is still attached to host
// events (after a failed stop, say) and ends the heartbeat thread, so no
// host event ever reaches a handler of a framework that is gone.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "exmi/document_handlers.h"
#include "exmi/exmi.h"
#include "exmi/heartbeat.h"
#include "exmi/setup_handlers.h"
#include "host/cam.h"
#include "host/kalvix.h"

namespace EXMI {

// The instances of one machine path, with the machine they were made for.
struct MachineInstances {
    std::string machineId;
    std::string vendor;
    int32_t technology = 0;
    std::vector<std::shared_ptr<IExtensibleMachine>> machines;
};

class EXMIimpl : public Framework {
public:
    using Document = qrvn::core::Ptr<qrvn::kalvix::KalvixDocument>;
    using Setup = qrvn::core::Ptr<qrvn::cam::Setup>;

    EXMIimpl(const std::string& addinName, const std::vector<MachineDefinition>& definitions);
    ~EXMIimpl() override;

    void run() override;
    void stop() override;

    // The machine instance registry. A missing setup argument means "every
    // setup of the document" where an operation accepts none.
    void ensureExtensibleMachineInstances(const Document& document);
    void handlePotentialNewMachine(const Document& document, const Setup& setup);
    void activateExtensibleMachineInstances(const Document& document, const Setup& setup);
    void deactivateExtensibleMachineInstances(const Document& document, const Setup& setup);
    void destroyExtensibleMachineInstances(const Document& document, const Setup& setup);
    void handleChangeEvent(const Document& document, const Setup& setup);
    void registerSetupHandlers(const Document& document);
    void unregisterSetupHandlers(const Document& document);

    void registerDocumentHandlers();
    void unregisterDocumentHandlers();

    // One heartbeat tick: onHeartBeat on every instance, once.
    void onHeartBeat();

    // EXMI UUIDs already in use: those with setup handlers and those of
    // the open documents other than `except`.
    std::set<std::string> knownDocumentUuids(const Document& except) const;
    // Documents the host reported closing. A closed document that is opened
    // again is forgotten there, or its workspace would be refused for good.
    bool isClosing(const std::string& documentUuid) const;
    void noteClosing(const std::string& documentUuid);
    void forgetClosing(const std::string& documentUuid);

    // Read-only views for diagnostics and tests.
    const std::string& getName() const { return name; }
    const std::map<std::string, MachineInstances>& getInstances() const { return instances; }
    const std::map<std::string, std::shared_ptr<SetupHandlers>>& getSetupHandlers() const { return setupHandlers; }
    const HeartBeat& getHeartBeat() const { return heartBeat; }

private:
    void runOrThrow();
    void stopOrThrow();
    void detachEverything();
    std::shared_ptr<IExtensibleMachine> createInstance(const MachineDefinition& definition, const Document& document,
                                                       int32_t operationId);

    std::string name;
    std::vector<MachineDefinition> machineDefinitions;
    HeartBeat heartBeat;
    std::vector<std::string> closingDocuments;
    std::map<std::string, MachineInstances> instances;
    std::map<std::string, std::shared_ptr<SetupHandlers>> setupHandlers;
    DocumentHandlers documentHandlers;
};

}  // namespace EXMI
