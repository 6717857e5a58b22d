// Workspaces, Workspace: the host's workspaces ("KalvixSolidEnvironment" for
// design, "CAMEnvironment" for manufacturing). Each owns its toolbar tabs.
// Owned by the user interface; user-interface thread only.
//
// Activating a workspace fires, on the user interface's events:
//   workspacePreDeactivate(old), workspacePreActivate(new), [switch],
//   workspaceDeactivated(old), workspaceActivated(new).
// Activating the workspace that is already active fires nothing. Entering
// "CAMEnvironment" needs an active document and gives it its manufacturing
// product ("CAMProductType") when it has none yet; that happens before
// workspaceActivated fires. The active workspace is remembered per document:
// activating a document switches to the workspace it was last shown in.
#pragma once

#include <cstddef>
#include <string>

#include "host/core/base.h"

namespace qrvn {
namespace core {

class Workspace;
class ToolbarTabs;
class ToolbarPanels;

class QRVN_API Workspaces : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Workspaces")
public:
    virtual size_t count() = 0;
    virtual Ptr<Workspace> item(size_t index) = 0;
    virtual Ptr<Workspace> itemById(const std::string& id) = 0;
};

class QRVN_API Workspace : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Workspace")
public:
    virtual std::string id() = 0;
    virtual std::string name() = 0;
    // The product type the workspace works on ("DesignProductType", "CAMProductType").
    virtual std::string productType() = 0;
    virtual bool isActive() = 0;
    virtual bool activate() = 0;
    virtual Ptr<ToolbarTabs> toolbarTabs() = 0;
    // Every panel of every tab of this workspace.
    virtual Ptr<ToolbarPanels> toolbarPanels() = 0;
};

}  // namespace core
}  // namespace qrvn
