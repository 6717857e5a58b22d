#include "cloud/stratavox_upload.h"

#include <algorithm>

#include "support/files.h"
#include "support/log.h"

namespace EXMIImpl {

CStratavoxFabriqoUpload::ExportFiles::~ExportFiles() {
    // Nothing of ours holds them open by now; something else still may (a
    // virus scanner on Windows), and then the export stays behind: say so.
    for (const std::string& path : paths) {
        if (!support::deleteFile(path) && support::fileExists(path))
            support::log("could not delete the export " + path, "CStratavoxFabriqoUpload");
    }
}

CStratavoxFabriqoUpload::CStratavoxFabriqoUpload(uint64_t number, IStratavoxURLInterface* reportTo,
                                                 EXMI::IAsyncHandler& requests)
    : generation(number), listener(reportTo), handler(requests), files(std::make_shared<ExportFiles>()),
      limiter(std::make_shared<ProgressLimiter>()) {
    progressTick = handler.addTick([this] { reportProgress(false); });
}

CStratavoxFabriqoUpload::~CStratavoxFabriqoUpload() {
    uiThread.check("CStratavoxFabriqoUpload");
    handler.removeTick(progressTick);
    if (put) put->cancel();
}

void CStratavoxFabriqoUpload::adoptFile(const std::string& path) {
    uiThread.check("CStratavoxFabriqoUpload");
    auto& paths = files->paths;
    if (!path.empty() && std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
}

void CStratavoxFabriqoUpload::setPhase(const std::string& name) {
    uiThread.check("CStratavoxFabriqoUpload");
    phase = name;
}

std::shared_ptr<EXMI::IAsyncPutFileRequest>
CStratavoxFabriqoUpload::makeStorageRequest(const std::string& url, const std::string& contentType,
                                            const std::string& path, uint64_t size,
                                            const EXMIImpl::HttpSettings& settings) {
    uiThread.check("CStratavoxFabriqoUpload");
    // The upload address carries its own authorisation; the bearer token must
    // not travel to the storage host.
    put = std::make_shared<EXMI::IAsyncPutFileRequest>("uploadbinary", url, contentType, "", path, size, settings);
    put->fileOwner = files;
    // Runs on the worker: only bytes that went out since its last wake-up
    // are worth waking the UI thread for, and only once the slot is due.
    put->progressDue = [shared = limiter, lastSent = uint64_t{0}](uint64_t sent) mutable {
        if (sent == lastSent || !shared->isDue(Clock::now()) || shared->woken.exchange(true)) return false;
        lastSent = sent;
        return true;
    };
    phase = "uploading";
    rateSamples.clear();
    return put;
}

void CStratavoxFabriqoUpload::cancel() {
    uiThread.check("CStratavoxFabriqoUpload");
    if (put) put->cancel();
}

void CStratavoxFabriqoUpload::reportProgress(bool final) {
    uiThread.check("CStratavoxFabriqoUpload");
    if (!listener) return;
    const auto now = Clock::now();
    const uint64_t sent = final ? total : (put ? put->bytesSent() : 0);
    rateSamples.emplace_back(now, sent);
    while (rateSamples.size() > 2 && now - rateSamples.front().first > kRateWindow) rateSamples.pop_front();
    if (!final) {
        if (!limiter->isDue(now)) return;
        // Whatever woke this tick, the worker may wake the next one.
        limiter->woken.store(false);
        if (reported && phase == lastReportPhase && sent == lastReportSent) return;
    }
    const double seconds = std::chrono::duration<double>(now - rateSamples.front().first).count();
    const uint64_t rate =
        seconds > 0 ? static_cast<uint64_t>(static_cast<double>(sent - rateSamples.front().second) / seconds) : 0;
    reported = true;
    limiter->nextSlot.store((now + kProgressInterval).time_since_epoch().count());
    lastReportPhase = phase;
    lastReportSent = sent;
    // The interval counts again from when the listener was told, so the page
    // never gets two messages closer than it, however long telling took.
    // The listener may end this upload: the limiter is held, not `this`.
    const std::shared_ptr<ProgressLimiter> held = limiter;
    listener->onUploadProgress(phase, sent, total, rate);
    held->nextSlot.store((Clock::now() + kProgressInterval).time_since_epoch().count());
}

}  // namespace EXMIImpl
