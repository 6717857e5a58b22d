#pragma once
// FrameworkScene sets up the simulated host for the framework benchmarks:
// a fresh host on the calling thread (which becomes the host's UI thread),
// open documents with a CAM product and setups on a printer of the vendor
// "Stratavox", and a framework whose one machine definition serves that
// vendor with a machine that only counts its heartbeats. It owns the host
// session, the documents and the framework; UI thread only. The framework's
// heartbeat thread runs between run() and stop().

#include <cstdint>
#include <memory>
#include <vector>

#include "exmi/exmi.h"
#include "exmi/exmi_impl.h"
#include "host/qrvn.h"
#include "simhost/sim/host.h"

namespace bench {

class FrameworkScene {
public:
    // `documents` open documents with `setupsPerDocument` setups each.
    FrameworkScene(int documents, int setupsPerDocument);
    // Stops a framework that is still running, then ends the host.
    ~FrameworkScene();
    FrameworkScene(const FrameworkScene&) = delete;
    FrameworkScene& operator=(const FrameworkScene&) = delete;

    void make();            // EXMI::make
    void run();             // Framework::run
    void stopAndRelease();  // Framework::stop, release, deliver what is queued

    // One heartbeat tick as the host delivers it: fires the framework's
    // custom event and runs the host's queue.
    void tick();

    size_t instanceCount() const;
    // onHeartBeat calls the machines received so far.
    uint64_t beats() const { return *beats_; }

private:
    EXMI::EXMIimpl& impl() const;

    qrvn::sim::Session host_;
    std::shared_ptr<uint64_t> beats_;
    std::vector<qrvn::core::Ptr<qrvn::kalvix::KalvixDocument>> documents_;
    std::shared_ptr<EXMI::Framework> framework_;
};

}  // namespace bench
