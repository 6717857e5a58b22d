#pragma once
// Listener through which CStratavoxFabriqoConnector reports to its palette:
// screen changes, failures, fresh project lists, upload progress and
// sign-out. Implemented by the cloud palette; every call arrives on the
// host's UI thread.

#include <cstdint>
#include <memory>
#include <string>

#include "cloud/cloud_failure.h"
#include "cloud/stratavox_project.h"

namespace EXMIImpl {

class IStratavoxURLInterface {
public:
    // Screen codes sent by the connector.
    static constexpr int32_t kScreenSignIn = 1;      // the account server's sign-in page: a
                                                     // remembered sign-in was refused
    static constexpr int32_t kScreenReloadPage = 2;  // authorization code captured
    static constexpr int32_t kScreenUploadForm = 3;  // signed in / list refresh; text = project an
                                                     // upload cancelled after creating it, or empty
    static constexpr int32_t kScreenProgress = 4;    // upload started
    static constexpr int32_t kScreenSuccess = 5;     // bytes stored; text = project id

    virtual ~IStratavoxURLInterface() = default;
    virtual void setScreen(int32_t screen, const std::string& text) = 0;
    // Any failure: the error screen.
    virtual void showFailure(const CloudFailure& failure) = 0;
    virtual void setProjectList(const std::shared_ptr<CStratavoxFabriqoProjectList>& list,
                                const std::string& currentProjectId) = 0;
    virtual void onSignedOut() = 0;
    // How far the running upload is: phase ("exporting", "creating",
    // "announcing" or "uploading"), bytes sent of total, and the recent rate
    // in bytes per second. At most five calls a second, plus one at the end
    // with sent equal to total.
    virtual void onUploadProgress(const std::string& /*phase*/, uint64_t /*sent*/, uint64_t /*total*/,
                                  uint64_t /*rate*/) {}
};

}  // namespace EXMIImpl
