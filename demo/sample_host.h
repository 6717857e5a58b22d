#pragma once
// The simulated host as a user of the vendor's printers has it before the
// add-in is loaded: the vendor's printers (and another maker's) in the CAM
// library with their print settings, the vendor's post-processor installed
// in the host's folder of system post-processors, and a saved sample
// design ready to be opened. Main (UI) thread, inside a running host.

#include <string>

#include "demo/steps.h"
#include "simhost/sim/documents.h"

namespace demo {

inline const char* const kSampleDocument = "Bracket";
inline const char* const kDemoPrinter = "Stratavox S5";
inline const char* const kDemoPrintSetting = "Stratavox PLA 0.2mm";

struct SampleHost {
    qrvn::sim::SavedDocument design;  // "Bracket", not open yet
    std::string postFolder;           // the host's system post-processor folder
    std::string postProcessor;        // the vendor post inside it
};

// Fills the libraries, writes the post-processor under `workFolder` and
// saves the sample design; lists what it set up as details of the
// current step. An empty `postFolder`
// in the result means the post-processor could not be written.
SampleHost prepareSampleHost(const std::string& workFolder, Steps& steps);

}  // namespace demo
