#include "bench/upload_comparison.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "bench/child_process.h"

namespace bench {
namespace {

const char* const kPackageType = "application/vnd.ms-package.3dmanufacturing-3dmodel+xml";

uint64_t fileSize(const std::string& path) { return std::filesystem::file_size(path); }

// Reads the child's remaining output, waits for it and fails unless it
// exited with 0.
ChildProcess::Exit finish(ChildProcess& child, const std::string& what, std::string* output) {
    std::string line, all;
    while (child.readLine(line)) all += line + "\n";
    const ChildProcess::Exit exit = child.wait();
    if (exit.code != 0) throw std::runtime_error(what + " exited with " + std::to_string(exit.code) + ": " + all);
    if (output) *output = all;
    return exit;
}

}  // namespace

UploadComparison::UploadComparison(const std::string& folder, const std::string& programs)
    : clientProgram_(programs + "/bench_upload_client"), launcher_(programs + "/bench_peak_launcher"),
      appData_(folder + "/appdata") {
    std::filesystem::create_directories(appData_ + "/Quorvane/Quorvane Kalvix/EXMI-AddIns");
    emulator::CloudEmulator::Options options;
    options.storageDir = folder + "/storage";
    std::filesystem::create_directories(options.storageDir);
    cloud_ = std::make_unique<emulator::CloudEmulator>(options);
    if (!cloud_->start()) throw std::runtime_error("emulator: " + cloud_->lastError());
    projectId_ = cloud_->addProject("Benchmark", "uploads of the benchmark");
    accessToken_ = cloud_->issueAccessToken();
}

UploadComparison::~UploadComparison() { cloud_->stop(); }

UploadRun UploadComparison::viaConnector(const std::string& file) {
    const size_t storedBefore = cloud_->storedFiles().size();
    ChildProcess client(launcher_, {clientProgram_, file, projectId_},
                        {"STRATAVOX_ACCOUNT_SERVER=" + cloud_->accountServer(),
                         "STRATAVOX_API_BASE=" + cloud_->apiBase(), "STRATAVOX_WEB_APP=" + cloud_->webApp(),
                         "STRATAVOX_REDIRECT_URI=" + cloud_->redirectUri(),
                         "STRATAVOX_CA_BUNDLE=" + cloud_->caBundlePath(), "APPDATA=" + appData_});
    // The client shows where it would send the user to sign in; the
    // emulator signs a user in there and answers with the redirect.
    std::string line;
    if (!client.readLine(line) || line.compare(0, 10, "authorize ") != 0)
        throw std::runtime_error("bench_upload_client: expected an authorize line, got \"" + line + "\"");
    std::string error;
    const std::string redirect = cloud_->authorizeDirect(line.substr(10), "bench", &error);
    if (redirect.empty()) throw std::runtime_error("sign-in refused: " + error);
    client.writeLine(redirect);

    std::string output;
    const ChildProcess::Exit exit = finish(client, "bench_upload_client", &output);
    if (output.compare(0, 9, "uploaded ") != 0) throw std::runtime_error("bench_upload_client: " + output);
    const auto stored = cloud_->storedFiles();
    if (stored.size() != storedBefore + 1 || stored.back().size != fileSize(file))
        throw std::runtime_error("the connector's upload was not stored");
    std::filesystem::remove(stored.back().path);  // only one copy on disk at a time
    // "uploaded <seconds> <start> <success>": the two times in nanoseconds of
    // the monotonic clock the emulator's times are taken on, too.
    std::istringstream fields(output.substr(9));
    UploadRun run;
    long long startNs = 0, successNs = 0;
    if (!(fields >> run.seconds >> startNs >> successNs)) throw std::runtime_error("bench_upload_client: " + output);
    using std::chrono::duration;
    using std::chrono::nanoseconds;
    const auto since = [](std::chrono::steady_clock::time_point at) {
        return std::chrono::duration_cast<nanoseconds>(at.time_since_epoch()).count();
    };
    run.startToFirstByte = static_cast<double>(since(stored.back().firstByteAt) - startNs) / 1e9;
    run.answerToSuccess = static_cast<double>(successNs - since(stored.back().answeredAt)) / 1e9;
    run.peakKiB = exit.maxRssKiB;
    return run;
}

UploadRun UploadComparison::viaCurl(const std::string& file) {
    const std::string address = announce(fileSize(file));
    const size_t storedBefore = cloud_->storedFiles().size();
    ChildProcess curl(launcher_, {"curl", "--silent", "--show-error", "--cacert", cloud_->caBundlePath(), "--header",
                                  std::string("Content-Type: ") + kPackageType, "--upload-file", file, "--output",
                                  "/dev/null", "--write-out", "%{http_code}", address});
    curl.closeInput();
    std::string output;
    const ChildProcess::Exit exit = finish(curl, "curl", &output);
    if (output != "200\n") throw std::runtime_error("curl: the storage answered " + output);
    const auto stored = cloud_->storedFiles();
    if (stored.size() != storedBefore + 1 || stored.back().size != fileSize(file))
        throw std::runtime_error("curl's upload was not stored");
    std::filesystem::remove(stored.back().path);
    return UploadRun{exit.seconds, exit.maxRssKiB};
}

std::string UploadComparison::announce(uint64_t bytes) {
    const std::string body = R"({"data":{"content_type":")" + std::string(kPackageType) +
                             R"(","file_name":"bench.3mf","file_size":)" + std::to_string(bytes) +
                             R"(,"library_project_id":")" + projectId_ + R"(","origin":"Quorvane Kalvix"}})";
    ChildProcess curl(launcher_,
                      {"curl", "--silent", "--show-error", "--cacert", cloud_->caBundlePath(), "--request", "PUT",
                       "--header", "Authorization: Bearer " + accessToken_, "--header",
                       "Content-Type: application/json", "--data-binary", body, cloud_->apiBase() + "/files/upload"});
    curl.closeInput();
    std::string answer;
    finish(curl, "curl (announce)", &answer);
    rapidjson::Document json;
    json.Parse(answer.c_str());
    if (json.HasParseError() || !json.IsObject() || !json.HasMember("data") || !json["data"].IsObject() ||
        !json["data"].HasMember("upload_url") || !json["data"]["upload_url"].IsString())
        throw std::runtime_error("announcement refused: " + answer);
    return json["data"]["upload_url"].GetString();
}

void writeBenchFile(const std::string& path, uint64_t bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    std::vector<uint64_t> chunk(128 * 1024);  // one MiB
    uint64_t state = 0x9E3779B97F4A7C15ull;
    while (bytes > 0) {
        for (uint64_t& word : chunk) {
            // xorshift64: cheap and incompressible enough for a transfer.
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const uint64_t now = std::min<uint64_t>(bytes, chunk.size() * sizeof(uint64_t));
        out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(now));
        bytes -= now;
    }
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace bench
