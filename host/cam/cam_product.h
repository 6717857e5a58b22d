// CAM: the manufacturing product of a document ("CAMProductType"). It owns
// the document's setups, manufacturing models and the seven setup events,
// and exports designs and toolpaths. User-interface thread only.
//
// Setup events the host fires for its own operations:
//   adding setup S while A is active:
//     setupCreated(S), setupDeactivating(A), setupActivating(S), [S active],
//     setupDeactivated(A), setupActivated(S)  (without A, only S's events)
//   activating S while A is active: as above without setupCreated
//   changing S (machine, name): setupChanged(S)
//   deleting S: setupDestroying(S) (S still valid), [S removed, invalid];
//     if S was active and setups remain, the first one is activated:
//     setupActivating(N), [N active], setupActivated(N)
#pragma once

#include <string>

#include "host/cam/setup_events.h"
#include "host/core/documents.h"

namespace qrvn {
namespace cam {

class Setups;
class ManufacturingModels;
class PostProcessInput;

class QRVN_API CAM : public core::Product {
    QRVN_CLASS_TYPE(core::Product, "qrvn::cam::CAM")
public:
    virtual core::Ptr<Setups> setups() = 0;
    virtual core::Ptr<ManufacturingModels> manufacturingModels() = 0;

    virtual core::Ptr<SetupEvent> setupCreated() = 0;
    virtual core::Ptr<SetupEvent> setupDestroying() = 0;
    virtual core::Ptr<SetupEvent> setupActivated() = 0;
    virtual core::Ptr<SetupEvent> setupActivating() = 0;
    virtual core::Ptr<SetupEvent> setupDeactivated() = 0;
    virtual core::Ptr<SetupEvent> setupDeactivating() = 0;
    virtual core::Ptr<SetupChangeEvent> setupChanged() = 0;

    // Writes the design (or `entity`, when given) as a 3MF package. The two
    // flags choose whether only visible bodies and whether support bodies
    // are included.
    virtual bool export3MF(const std::string& filePath, const core::Ptr<core::Base>& entity,
                           const core::Ptr<core::Base>& options, bool visibleOnly, bool includeSupports) = 0;
    // Post-processes the toolpath of `setupOrOperation` into
    // input.outputFolder()/input.programName() + the post-processor's
    // extension. False when the toolpath is not valid or posting fails.
    virtual bool postProcess(const core::Ptr<core::Base>& setupOrOperation,
                             const core::Ptr<PostProcessInput>& input) = 0;
    // The folder of the post-processors that ship with the host.
    virtual std::string systemPostFolder() = 0;
};

}  // namespace cam
}  // namespace qrvn
