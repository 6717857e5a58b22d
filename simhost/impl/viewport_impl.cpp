#include "simhost/impl/viewport_impl.h"

#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "simhost/impl/common.h"
#include "simhost/impl/document_impl.h"
#include "simhost/impl/exports.h"

namespace qrvn {
namespace impl {

namespace {

// libjpeg reports fatal errors through error_exit, which by default ends the
// process; the host jumps back and reports the failure instead.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }

bool endsWith(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    std::string tail = text.substr(text.size() - suffix.size());
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == suffix;
}

}  // namespace

bool ViewportImpl::saveImage(const std::string& filename, int width, int height) {
    if (scriptedFailure("Viewport::saveImage")) return false;
    auto document = lock(document_);
    if (!document || !document->valid_) return failInvalid("Viewport::saveImage");
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        setLastError(core::InvalidArgumentError, "invalid image size");
        return false;
    }
    if (!endsWith(filename, ".jpg") && !endsWith(filename, ".jpeg")) {
        setLastError(core::InvalidArgumentError, "unsupported image type: " + filename);
        return false;
    }
    FILE* file = std::fopen(filename.c_str(), "wb");
    if (!file) {
        setLastError(core::OperationFailedError, "cannot write " + filename);
        return false;
    }
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
    jpeg_compress_struct compress{};
    ErrorManager errors{};
    compress.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onJpegError;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&compress);
        std::fclose(file);
        setLastError(core::OperationFailedError, "cannot write " + filename);
        return false;
    }
    jpeg_create_compress(&compress);
    jpeg_stdio_dest(&compress, file);
    compress.image_width = static_cast<JDIMENSION>(width);
    compress.image_height = static_cast<JDIMENSION>(height);
    compress.input_components = 3;
    compress.in_color_space = JCS_RGB;
    jpeg_set_defaults(&compress);
    jpeg_set_quality(&compress, 85, TRUE);
    jpeg_start_compress(&compress, TRUE);
    // A vertical gradient with a grey box in the middle stands in for the model.
    while (compress.next_scanline < compress.image_height) {
        const int y = static_cast<int>(compress.next_scanline);
        for (int x = 0; x < width; ++x) {
            const bool box = x > width / 3 && x < 2 * width / 3 && y > height / 3 && y < 2 * height / 3;
            const auto shade = static_cast<JSAMPLE>(200 + 55 * y / height);
            row[x * 3 + 0] = box ? 120 : shade;
            row[x * 3 + 1] = box ? 130 : shade;
            row[x * 3 + 2] = box ? 150 : 255;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&compress, rows, 1);
    }
    jpeg_finish_compress(&compress);
    jpeg_destroy_compress(&compress);
    const bool closed = std::fclose(file) == 0;
    if (!closed) setLastError(core::OperationFailedError, "cannot write " + filename);
    else recordWrittenFile(filename);
    return closed;
}

}  // namespace impl
}  // namespace qrvn
