#include "tests/emulator/emulator_fixture.h"

#include "platform/credential_store.h"

#include <cstdlib>
#include <jpeglib.h>
#include <random>

namespace emulator_test {

const char kClientId[] = "sv-----------------------quorvane_kalvix_app";
const char kScopes[] = "account.user.read plyx.mesh.write library.project.write library.project.read "
                       "plyx.printjob.write";

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

void forgetKeptSignIn(const emulator::CloudEmulator& cloud) {
#ifdef _WIN32
    platform::CredentialStore::forThisSystem()->remove(cloud.accountServer());
#else
    (void)cloud;
#endif
}

void EmulatorTest::SetUp() {
    cloud = std::make_unique<emulator::CloudEmulator>(emulator::CloudEmulator::Options());
    ASSERT_TRUE(cloud->start()) << cloud->lastError();
    forgetKeptSignIn(*cloud);
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

}  // namespace emulator_test
