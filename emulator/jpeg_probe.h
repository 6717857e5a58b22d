#pragma once
// Checks that bytes are a JPEG image that decodes completely (libjpeg), as
// the cloud API does before it accepts a thumbnail. Stateless; any thread.

#include <cstddef>
#include <cstdint>
#include <string>

namespace emulator {

struct JpegInfo {
    int width = 0;
    int height = 0;
};

// True when every scan line decodes; *error names the first problem.
bool probeJpeg(const std::uint8_t* data, std::size_t size, JpegInfo& info, std::string* error);

}  // namespace emulator
