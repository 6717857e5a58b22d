// The account server's answer to "/token": whatever arrives is either
// refused with one of the sign-in errors the user may see, or yields two
// string tokens exactly as sent and a lifetime that leaves room for the
// refresh margin.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "cloud/cloud_json.h"
#include "fuzz/checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = fuzz::bytes(data, size);
    EXMIImpl::TokenAnswer answer;
    try {
        answer = EXMIImpl::readTokenAnswer(body);
    } catch (const std::runtime_error& error) {
        fuzz::checkKnownError(error.what(), {"could not parse login response.", "invalid token expiration time",
                                             "acccess token not found", "refresh token not found",
                                             "expiration not found", "could not log in account!"});
        return 0;
    }
    fuzz::check(answer.expiresIn >= 31, "accepted a lifetime below 31 seconds");
    // An accepted answer is an object with the three members in the right
    // types; the tokens are taken byte for byte (embedded NULs included).
    rapidjson::Document document;
    fuzz::check(fuzz::parseJson(document, body), "accepted an answer that is no JSON");
    fuzz::check(answer.accessToken == fuzz::stringMember(document, "access_token"), "access token differs");
    fuzz::check(answer.refreshToken == fuzz::stringMember(document, "refresh_token"), "refresh token differs");
    const rapidjson::Value& expiresIn = fuzz::member(document, "expires_in");
    fuzz::check(expiresIn.IsUint() && answer.expiresIn == expiresIn.GetUint(), "lifetime differs from the answer");
    return 0;
}
