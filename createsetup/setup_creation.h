#pragma once
// Creating the additive setup on OK: finding the document's manufacturing
// product, adding a manufacturing model, collecting the model's bodies and
// occurrences, and adding a setup for the chosen printer and print setting.
// Reads the vendor and the printer / print-setting tables of the
// process-wide state. User-interface thread only.

#include <string>
#include <vector>

#include "host/cam.h"
#include "host/core.h"
#include "host/kalvix.h"

namespace CreateSetup {

// The CAM product of the active document. When the document has none yet,
// enters the manufacturing workspace (which gives it one) and looks again.
// None without an active document.
qrvn::core::Ptr<qrvn::cam::CAM> findCamProduct(const qrvn::core::Ptr<qrvn::core::Application>& app,
                                               const qrvn::core::Ptr<qrvn::core::UserInterface>& ui);

// Adds a manufacturing model named "Manufacturing Model" and, when it holds
// bodies, a setup named vendor + " Setup" for the printer and print setting
// listed under the given texts. None when the model holds no bodies (the
// manufacturing model stays). Fails when the host withholds a needed object
// or refuses the setup.
qrvn::core::Ptr<qrvn::cam::Setup> createSetup(const qrvn::core::Ptr<qrvn::cam::CAM>& camProduct,
                                              const std::string& printerText, const std::string& printSettingName);

// Depth first: a leaf occurrence with bodies stands for itself; an
// occurrence with children contributes its own B-rep bodies, then its
// component's mesh bodies, then what its children contribute.
void collectModels(const qrvn::core::Ptr<qrvn::kalvix::Occurrence>& occurrence,
                   std::vector<qrvn::core::Ptr<qrvn::core::Base>>& models);

}  // namespace CreateSetup
