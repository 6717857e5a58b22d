#pragma once
// Listener through which CStratavoxFabriqoConnector reports to its palette:
// screen changes, fresh project lists and sign-out. Implemented by the cloud
// palette; every call arrives on the host's UI thread.

#include <cstdint>
#include <memory>
#include <string>

#include "cloud/stratavox_project.h"

namespace EXMIImpl {

class IStratavoxURLInterface {
public:
    // Screen codes sent by the connector.
    static constexpr int32_t kScreenReloadPage = 2;  // authorization code captured
    static constexpr int32_t kScreenUploadForm = 3;  // signed in / list refresh
    static constexpr int32_t kScreenProgress = 4;    // upload started
    static constexpr int32_t kScreenSuccess = 5;     // bytes stored; text = project id
    static constexpr int32_t kScreenError = 6;       // any failure; text = message

    virtual ~IStratavoxURLInterface() = default;
    virtual void setScreen(int32_t screen, const std::string& text) = 0;
    virtual void setProjectList(const std::shared_ptr<CStratavoxFabriqoProjectList>& list,
                                const std::string& currentProjectId) = 0;
    virtual void onSignedOut() = 0;
};

}  // namespace EXMIImpl
