// Upload storage: one PUT per one-time URL, streamed to disk.

#include "emulator/exchange.h"
#include "emulator/json.h"
#include "emulator/routes.h"
#include "emulator/upload_receiver.h"

#include <chrono>
#include <cstdlib>

namespace emulator {

namespace {

void drainBody(Call& call, const httplib::ContentReader& reader) {
    std::uint64_t count = 0;
    reader([&count](const char*, std::size_t size) {
        count += size;
        return true;
    });
    call.bodySize = count;
}

void refuse(Call& call, const httplib::ContentReader& reader, int status, const char* error,
            const std::string& description) {
    drainBody(call, reader);
    answerJson(call.res, status, errorJson(error, description));
}

void storeUpload(ServiceState& state, Call& call, const httplib::ContentReader& reader) {
    // Presigned URLs carry their own authorisation; a second mechanism is
    // refused, as the real storage does.
    if (call.req.has_header("Authorization")) {
        refuse(call, reader, 403, "AccessDenied",
               "an upload URL is presigned; the Authorization header is not allowed");
        return;
    }
    std::string token = call.req.matches[1];
    UploadStore::Slot slot;
    switch (state.uploads.claim(token, slot)) {
    case UploadStore::Claim::Ok: break;
    case UploadStore::Claim::Unknown: refuse(call, reader, 404, "NoSuchUpload", "unknown upload URL"); return;
    case UploadStore::Claim::Used: refuse(call, reader, 403, "AccessDenied", "upload URL already used"); return;
    case UploadStore::Claim::Expired: refuse(call, reader, 403, "AccessDenied", "upload URL expired"); return;
    case UploadStore::Claim::Busy:
        refuse(call, reader, 409, "Conflict", "an upload to this URL is in progress");
        return;
    }
    if (call.req.has_header("Content-Length")) {
        std::string text = call.req.get_header_value("Content-Length");
        if (std::strtoull(text.c_str(), nullptr, 10) != slot.size) {
            state.uploads.release(token);
            refuse(call, reader, 400, "BadDigest",
                   "Content-Length " + text + " differs from the announced file_size " + std::to_string(slot.size));
            return;
        }
    }
    UploadReceiver receiver(state.storageFolder, slot.id);
    if (!receiver.open()) {
        state.uploads.release(token);
        refuse(call, reader, 500, "InternalError", "cannot write the upload");
        return;
    }
    // Bytes past the announced size are read and dropped so the answer still
    // reaches the client; finish() refuses the upload then.
    std::chrono::steady_clock::time_point firstByteAt;
    bool complete = reader([&receiver, &slot, &firstByteAt](const char* data, std::size_t size) {
        if (firstByteAt == std::chrono::steady_clock::time_point()) firstByteAt = std::chrono::steady_clock::now();
        receiver.write(data, size, slot.size);
        return true;
    });
    call.bodySize = receiver.received();
    StoredFile file;
    if (!complete || !receiver.finish(slot.size, file.path, file.sha256)) {
        state.uploads.release(token);
        answerJson(call.res, 400,
                   errorJson("BadDigest", "received " + std::to_string(receiver.received()) + " bytes, announced " +
                                              std::to_string(slot.size)));
        return;
    }
    file.name = slot.name;
    file.contentType = slot.contentType;
    file.uploadContentType = call.req.get_header_value("Content-Type");
    file.size = slot.size;
    file.projectId = slot.projectId;
    file.kind = slot.kind;
    file.id = slot.id;
    file.origin = slot.origin;
    file.firstByteAt = firstByteAt;
    file.answeredAt = std::chrono::steady_clock::now();
    state.uploads.commit(token, file);
    call.res.set_header("ETag", "\"" + file.sha256 + "\"");
    answerJson(call.res, 200, "{}");
}

}  // namespace

void installStorageRoutes(httplib::Server& server, ServiceState& state) {
    server.Put("/storage/([0-9a-f]+)",
               [&state](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
                   serveEndpoint(
                       state, Endpoint::StoragePut, req, res,
                       [&state, &reader](Call& call) {
                           call.streamed = true;
                           storeUpload(state, call, reader);
                       },
                       [&reader](Call& call) {
                           call.streamed = true;
                           drainBody(call, reader);
                       });
               });
}

}  // namespace emulator
