// PostProcessInput: what the CAM product's postProcess needs to turn a
// setup's toolpath into machine code: program name, post-processor file,
// output folder, output units and post-processor properties. Made by the
// add-in with create(); user-interface thread only.
#pragma once

#include <string>

#include "host/core/base.h"
#include "host/core/values.h"

namespace qrvn {
namespace cam {

enum PostOutputUnitOptions {
    DocumentUnitsOutput = 0,
    InchesOutput = 1,
    MillimetersOutput = 2,
};

class QRVN_API PostProcessInput : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::PostProcessInput")
public:
    // Empty when programName or postConfiguration is empty.
    static core::Ptr<PostProcessInput> create(const std::string& programName, const std::string& postConfiguration,
                                              const std::string& outputFolder, PostOutputUnitOptions outputUnits);

    const std::string& programName() const { return programName_; }
    const std::string& postConfiguration() const { return postConfiguration_; }
    const std::string& outputFolder() const { return outputFolder_; }
    PostOutputUnitOptions outputUnits() const { return outputUnits_; }
    // Properties passed to the post-processor by name.
    core::Ptr<core::NamedValues> postProperties() const { return postProperties_; }
    // Whether the host opens the written file in its editor afterwards.
    bool booleanOption() const { return openInEditor_; }
    void setBooleanOption(bool openInEditor) { openInEditor_ = openInEditor; }

    PostProcessInput(std::string programName, std::string postConfiguration, std::string outputFolder,
                     PostOutputUnitOptions outputUnits);

private:
    std::string programName_;
    std::string postConfiguration_;
    std::string outputFolder_;
    PostOutputUnitOptions outputUnits_;
    core::Ptr<core::NamedValues> postProperties_;
    bool openInEditor_ = true;
};

}  // namespace cam
}  // namespace qrvn
