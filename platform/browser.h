#pragma once
// Showing an address in the user's default web browser.
//
// Windows hands the address to the shell (ShellExecuteW, verb "open").
// POSIX starts the program named by BROWSER (a ":"-separated list; the
// first one that can be started wins) or else xdg-open, with the address
// as its single argument. No shell is involved, so characters such as
// ";", "$(", "`" or "&" in the address are never interpreted. The call
// returns once the browser program has been started; it does not wait
// for it, and leaves no child process behind to reap.
// Safe on any thread.

#include <string>

namespace platform {

// True when a browser program was started. An address that begins with
// "-" is refused: a launcher would read it as an option.
bool openUrl(const std::u16string& url);

}  // namespace platform
