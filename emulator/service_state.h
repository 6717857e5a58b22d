#pragma once
// ServiceState: everything the emulator's endpoints share — options,
// addresses, the account, project and upload stores, armed faults, the
// request log and the stop signal. One instance lives inside the emulator
// from construction to destruction; the members guard themselves, and the
// plain fields (origin, storage folder) are written only while the server
// is stopped.

#include "emulator/account_service.h"
#include "emulator/emulator.h"
#include "emulator/fault_table.h"
#include "emulator/project_store.h"
#include "emulator/request_log.h"
#include "emulator/stop_signal.h"
#include "emulator/upload_store.h"

#include <atomic>
#include <string>

namespace emulator {

struct ServiceState {
    explicit ServiceState(const CloudEmulator::Options& opts);

    CloudEmulator::Options options;
    std::string origin;         // "https://127.0.0.1:PORT"
    std::string storageFolder;  // where uploads are written
    std::atomic<long long> uploadUrlLifetimeSeconds;
    AccountService accounts;
    ProjectStore projects;
    UploadStore uploads;
    FaultTable faults;
    RequestLog log;
    StopSignal stop;
};

}  // namespace emulator
