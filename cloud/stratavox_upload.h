#pragma once
// CStratavoxFabriqoUpload is one upload from its export to its end. It owns
// the export files (deleted once nothing reads them: after the storage
// request's worker has closed the file, whether the upload succeeded, failed
// or was cancelled, and also when the palette goes away mid-upload), the
// storage request, the progress figures the page is shown with their one
// rate limiter, its generation, which tells its callbacks from those of an
// upload that has ended, and the project it created. Made and used on the
// host's UI thread (checked), where the request handler's ticks have it
// report progress. The storage request's worker shares two things: the files,
// through the request's fileOwner (the deletion happens on whichever thread
// lets go of them last), and the rate limiter, through which it wakes the UI
// thread only when a progress message is due.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cloud/stratavox_url_interface.h"
#include "net/async_handler.h"
#include "net/async_request.h"
#include "support/sequence_checker.h"

namespace EXMIImpl {

class CStratavoxFabriqoUpload {
public:
    using Clock = std::chrono::steady_clock;
    // The page is told of progress at most five times a second; the rate is
    // taken over the last few seconds.
    static constexpr std::chrono::milliseconds kProgressInterval{200};
    static constexpr std::chrono::seconds kRateWindow{3};

    // Reports progress at every tick of `handler`, which must outlive it.
    CStratavoxFabriqoUpload(uint64_t generation, IStratavoxURLInterface* listener, EXMI::IAsyncHandler& handler);
    // Cancels the storage request if it still runs.
    ~CStratavoxFabriqoUpload();
    CStratavoxFabriqoUpload(const CStratavoxFabriqoUpload&) = delete;
    CStratavoxFabriqoUpload& operator=(const CStratavoxFabriqoUpload&) = delete;

    uint64_t getGeneration() const { return generation; }
    // A temporary file made for this upload (empty: none); deleted with it.
    void adoptFile(const std::string& path);

    // "exporting", "creating", "announcing" or "uploading".
    void setPhase(const std::string& name);
    const std::string& getPhase() const { return phase; }
    void setTotal(uint64_t bytes) { total = bytes; }
    void setCreatedProjectId(const std::string& id) { createdProjectId = id; }
    const std::string& getCreatedProjectId() const { return createdProjectId; }

    // The PUT that streams `path` to the storage; it holds the export files
    // until its worker has closed the file.
    std::shared_ptr<EXMI::IAsyncPutFileRequest> makeStorageRequest(const std::string& url,
                                                                   const std::string& contentType,
                                                                   const std::string& path, uint64_t size,
                                                                   const EXMIImpl::HttpSettings& settings);
    // Nothing more of the upload is sent; the worker lets go of the file
    // within about a second.
    void cancel();
    // Tells the listener how far the upload is when something changed, at
    // most once every kProgressInterval, or at once when `final` (everything
    // sent).
    void reportProgress(bool final);

private:
    // The one limit on progress messages, shared with the storage worker:
    // the UI thread moves the next slot on whenever it reports; the worker
    // only reads it, and wakes the UI thread once per slot, when the slot is
    // due and more bytes went out.
    struct ProgressLimiter {
        std::atomic<Clock::rep> nextSlot{0};
        std::atomic<bool> woken{false};
        bool isDue(Clock::time_point now) const { return now.time_since_epoch().count() >= nextSlot.load(); }
    };

    // Deletes its files when the last holder lets go of it.
    struct ExportFiles {
        std::vector<std::string> paths;
        ~ExportFiles();
    };

    const uint64_t generation;
    IStratavoxURLInterface* const listener;
    EXMI::IAsyncHandler& handler;
    int progressTick = 0;
    std::shared_ptr<ExportFiles> files;
    std::shared_ptr<EXMI::IAsyncPutFileRequest> put;
    std::string phase;
    uint64_t total = 0;
    std::string createdProjectId;
    const std::shared_ptr<ProgressLimiter> limiter;
    // What the listener was last told; recent (time, bytes sent) pairs for
    // the rate.
    bool reported = false;
    std::string lastReportPhase;
    uint64_t lastReportSent = 0;
    std::deque<std::pair<Clock::time_point, uint64_t>> rateSamples;
    support::SequenceChecker uiThread;
};

}  // namespace EXMIImpl
