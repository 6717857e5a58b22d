#pragma once
// Reading the process environment through the wide-character interface
// (_wdupenv_s on Windows; getenv with UTF-8 on POSIX), and the user the
// process runs as. Reads only, so it is
// safe on any thread as long as nothing modifies the environment meanwhile.

#include <optional>
#include <string>

namespace platform {

// The variable's value, or nothing when it is not set (or when the name
// is empty or holds NUL or "="). On POSIX a value that is not valid UTF-8
// cannot be given as UTF-16 and fails with std::runtime_error
// "bad conversion", like every other conversion failure.
std::optional<std::u16string> readEnvironment(const std::u16string& name);

// The real user id in decimal on POSIX (getuid); empty on Windows, where
// every user has a temporary folder of their own.
std::string currentUserId();

}  // namespace platform
