#pragma once
// SHA-256 of a file, the way the emulator reports what it stored, so the
// demo can tell that the bytes in the cloud are the bytes it exported.
// Any thread.

#include <string>

namespace demo {

// Lower-case hexadecimal digest; empty when the file cannot be read.
std::string sha256OfFile(const std::string& path);
std::string sha256OfBytes(const std::string& bytes);

}  // namespace demo
