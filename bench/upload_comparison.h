#pragma once
// UploadComparison sends files to a cloud emulator of its own in two ways:
// through the add-in's connector (announce, then binary PUT to the one-time
// upload address), run by bench_upload_client in a child process, and with
// `curl -T` to a fresh one-time address. Each way runs as a child process,
// so its peak resident memory is its own. It owns the emulator (started in
// the constructor, stopped in the destructor, uploads stored under the given
// folder) and a log folder for the client. One thread uses it; the emulator
// serves on its own threads.

#include <cstdint>
#include <memory>
#include <string>

#include "emulator/emulator.h"

namespace bench {

struct UploadRun {
    double seconds = 0;  // wall time of the upload alone
    long peakKiB = 0;    // peak resident memory of the uploading process
    // Connector only: from the upload's start to the storage's first body
    // byte, and from the storage's answer to the success screen.
    double startToFirstByte = 0;
    double answerToSuccess = 0;
};

class UploadComparison {
public:
    // `programs`: the folder of bench_upload_client and bench_peak_launcher.
    // Throws std::runtime_error when the emulator cannot start.
    UploadComparison(const std::string& folder, const std::string& programs);
    ~UploadComparison();
    UploadComparison(const UploadComparison&) = delete;
    UploadComparison& operator=(const UploadComparison&) = delete;

    // Each throws std::runtime_error, with what went wrong, unless the file's
    // bytes were stored by the emulator.
    // Time: from the connector's uploadToProject to its success screen
    // (both requests, reading the file, handing the answers back).
    UploadRun viaConnector(const std::string& file);
    // Time: the curl process from start to exit (one PUT of the file).
    UploadRun viaCurl(const std::string& file);

    emulator::CloudEmulator& cloud() { return *cloud_; }

private:
    // Announces `bytes` for the project and returns the one-time address.
    std::string announce(uint64_t bytes);

    std::unique_ptr<emulator::CloudEmulator> cloud_;
    std::string clientProgram_;
    std::string launcher_;
    std::string appData_;
    std::string projectId_;
    std::string accessToken_;
};

// Writes `bytes` of pseudo-random content (which no transfer can compress)
// to `path`, one mebibyte at a time.
void writeBenchFile(const std::string& path, uint64_t bytes);

}  // namespace bench
