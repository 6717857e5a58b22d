#include "tests/emulator/emulator_fixture.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <rapidjson/document.h>

#include <cstdio>
#include <jpeglib.h>
#include <random>

namespace emulator_test {

const char kClientId[] = "sv-----------------------quorvane_kalvix_app";
const char kScopes[] = "account.user.read plyx.mesh.write library.project.write library.project.read "
                       "plyx.printjob.write";

namespace {

std::string digest(const std::string& bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), out, &length, EVP_sha256(), nullptr);
    return std::string(reinterpret_cast<char*>(out), length);
}

std::string hex(const std::string& bytes) {
    std::string out;
    char buffer[3];
    for (unsigned char c : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02x", c);
        out += buffer;
    }
    return out;
}

}  // namespace

std::string base64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                            reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

Pkce makePkce() {
    unsigned char seed[32];
    RAND_bytes(seed, sizeof seed);
    Pkce pkce;
    pkce.verifier = hex(digest(std::string(reinterpret_cast<char*>(seed), sizeof seed)));
    pkce.challenge = base64(digest(pkce.verifier));
    for (char& c : pkce.challenge) {
        if (c == '+') c = '-';
        if (c == '/') c = '_';
    }
    return pkce;
}

std::string makeJpeg(int width, int height) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < width; ++x) {
            row[static_cast<std::size_t>(x)] = static_cast<unsigned char>((x * 7 + cinfo.next_scanline * 3) & 0xff);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    return out;
}

std::string randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (auto& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

void EmulatorTest::SetUp() {
    cloud = std::make_unique<emulator::CloudEmulator>(emulator::CloudEmulator::Options());
    ASSERT_TRUE(cloud->start()) << cloud->lastError();
}

void EmulatorTest::TearDown() {
    if (cloud) cloud->stop();
}

RequestOptions EmulatorTest::options(std::vector<std::string> headers) const {
    RequestOptions o;
    o.caBundle = cloud->caBundlePath();
    o.headers = std::move(headers);
    return o;
}

RequestOptions EmulatorTest::bearer(const std::string& token, std::vector<std::string> headers) const {
    headers.push_back("Authorization: Bearer " + token);
    return options(std::move(headers));
}

std::string EmulatorTest::authorizeUrl(const Pkce& pkce) const {
    return cloud->accountServer() + "/authorize?client_id=" + encode(kClientId) +
           "&redirect_uri=" + encode(cloud->redirectUri()) + "&scope=" + encode(kScopes) +
           "&response_type=code&state=STATE&code_challenge=" + encode(pkce.challenge) + "&code_challenge_method=S256";
}

std::string EmulatorTest::codeFor(const Pkce& pkce) {
    Reply form = get(authorizeUrl(pkce), options());
    const std::string marker = "name=\"request_id\" value=\"";
    std::size_t at = form.body.find(marker);
    if (at == std::string::npos) return std::string();
    at += marker.size();
    std::string requestId = form.body.substr(at, form.body.find('"', at) - at);
    Reply redirect = request("POST", cloud->accountServer() + "/authorize",
                             "request_id=" + encode(requestId) + "&username=ada&password=secret",
                             options({"Content-Type: application/x-www-form-urlencoded"}));
    return queryParam(redirect.header("location"), "code");
}

std::string EmulatorTest::exchangeBody(const std::string& code, const std::string& verifier,
                                       const std::string& clientId) const {
    return "client_id=" + encode(clientId) + "&redirect_uri=" + encode(cloud->redirectUri()) +
           "&grant_type=authorization_code&scope=" + encode(kScopes) + "&code=" + code +
           "&code_verifier=" + encode(verifier);
}

Reply EmulatorTest::postToken(const std::string& body) {
    return request("POST", cloud->accountServer() + "/token", body,
                   options({"Content-Type: application/x-www-form-urlencoded"}));
}

Reply EmulatorTest::announce(const std::string& token, const std::string& projectId, std::uint64_t size, bool job) {
    std::string body = std::string("{\"data\":{\"content_type\":\"") +
                       (job ? "text/plain" : "application/vnd.ms-package.3dmanufacturing-3dmodel+xml") + "\",\"" +
                       (job ? "job_name" : "file_name") + "\":\"" + (job ? "part.gcode" : "part.3mf") +
                       "\",\"file_size\":" + std::to_string(size) + ",\"library_project_id\":\"" + projectId +
                       "\",\"origin\":\"Quorvane Kalvix\"}}";
    return request("PUT", cloud->apiBase() + (job ? "/jobs/upload" : "/files/upload"), body,
                   bearer(token, {"Content-Type: application/json"}));
}

std::string EmulatorTest::uploadUrlOf(const Reply& reply) {
    rapidjson::Document doc;
    doc.Parse(reply.body.c_str());
    if (doc.HasParseError() || !doc.IsObject() || !doc.HasMember("data") || !doc["data"].IsObject() ||
        !doc["data"].HasMember("upload_url") || !doc["data"]["upload_url"].IsString()) {
        return std::string();
    }
    return doc["data"]["upload_url"].GetString();
}

}  // namespace emulator_test
