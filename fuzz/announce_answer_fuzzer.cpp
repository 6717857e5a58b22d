// The answer to announcing a file or print job: refused with a documented
// text, or the "upload_url" under "data" exactly as sent.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "cloud/cloud_json.h"
#include "fuzz/checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = fuzz::bytes(data, size);
    std::string url;
    try {
        url = EXMIImpl::readUploadUrl(body);
    } catch (const std::runtime_error& error) {
        fuzz::checkKnownError(error.what(),
                              {"invalid create project response", "invalid create project response object",
                               "create response has no data", "create response data is no object",
                               "did not receive upload URL", "upload URL is no string"});
        return 0;
    }
    rapidjson::Document answer;
    fuzz::check(fuzz::parseJson(answer, body) && answer.IsObject(), "accepted an answer that is no JSON object");
    fuzz::check(url == fuzz::stringMember(fuzz::member(answer, "data"), "upload_url"),
                "upload address differs from the answer");
    return 0;
}
