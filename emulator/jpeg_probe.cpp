#include "emulator/jpeg_probe.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace emulator {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return;
// longjmp back into probeJpeg is the library's documented way out. Nothing
// with a destructor lives between setjmp and the jump.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int warnings;
};

void onError(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

// Corrupt data (for example a truncated file) only raises warnings in
// libjpeg, which then pads the image; a strict check refuses it.
void onMessage(j_common_ptr cinfo, int level) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0) {
        if (manager->warnings++ == 0) (*cinfo->err->format_message)(cinfo, manager->message);
    }
}

bool decode(jpeg_decompress_struct* cinfo, ErrorManager* manager, const std::uint8_t* data, std::size_t size,
            unsigned char* row, std::size_t rowSize, JpegInfo& info) {
    if (setjmp(manager->jump) != 0) return false;
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
    jpeg_start_decompress(cinfo);
    info.width = static_cast<int>(cinfo->output_width);
    info.height = static_cast<int>(cinfo->output_height);
    std::size_t need =
        static_cast<std::size_t>(cinfo->output_width) * static_cast<std::size_t>(cinfo->output_components);
    if (need > rowSize) return false;
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(cinfo, rows, 1);
        if (manager->warnings > 0) return false;
    }
    jpeg_finish_decompress(cinfo);
    return manager->warnings == 0;
}

}  // namespace

bool probeJpeg(const std::uint8_t* data, std::size_t size, JpegInfo& info, std::string* error) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        if (error != nullptr) *error = "not a JPEG image";
        return false;
    }
    jpeg_decompress_struct cinfo;
    ErrorManager manager;
    cinfo.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = onError;
    manager.base.emit_message = onMessage;
    manager.message[0] = '\0';
    manager.warnings = 0;
    // Thumbnails are small; 64k pixels wide with 4 components bounds the row.
    std::vector<unsigned char> row(65536u * 4u);
    bool ok = decode(&cinfo, &manager, data, size, row.data(), row.size(), info);
    jpeg_destroy_decompress(&cinfo);
    if (!ok && error != nullptr) {
        *error = manager.message[0] != '\0' ? manager.message : "undecodable JPEG image";
    }
    return ok;
}

}  // namespace emulator
