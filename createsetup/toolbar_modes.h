#pragma once
// The seven toolbar modes of the design workspace that carry the command:
// the mode name (suffix of the definition id), the tab and the 3D-printing
// panel that receive the button. Constant data, any thread.

#include <array>

namespace CreateSetup {

struct ToolbarMode {
    const char* name;
    const char* tabId;
    const char* panelId;
};

// In registration order.
inline constexpr std::array<ToolbarMode, 7> kToolbarModes{{
    {"Solid", "SolidTab", "3dPrintPanel_Design"},
    {"ParaMesh", "ParaMeshOuterTab", "3dPrintPanel_Mesh"},
    {"BaseFeature", "BaseFeatureSolidTab", "3dPrintPanel_BF"},
    {"BaseFeatureParaMesh", "ParaMeshBaseFeatureTab", "3dPrintPanel_MeshBF"},
    {"Utilities", "ToolsTab", "3dPrintPanel_Utilities"},
    {"Plastic", "PlasticTab", "3dPrintPanel_Plastic"},
    {"Form", "FormTab", "3dPrintPanel_Form"},
}};

// The workspace whose tabs carry the modes.
inline constexpr char kDesignWorkspaceId[] = "KalvixSolidEnvironment";
// The manufacturing workspace; the CAM libraries are reached through it.
inline constexpr char kCamWorkspaceId[] = "CAMEnvironment";
// Name of a 3D-printing panel the command has to create itself.
inline constexpr char kCreatedPanelName[] = "3D Print";
inline constexpr char kResourceFolder[] = "resources_createSetup";

}  // namespace CreateSetup
