#pragma once
// The add-in's diagnostic log: one line per call, appended to "EXMI.log".
//
// The file lies in APPDATA + "/Quorvane/Quorvane Kalvix/EXMI-AddIns/", or
// in the current folder when APPDATA is unset or empty; the path is worked
// out anew on every call and the folder is never created. Each line is
//   "YYYY-MM-DD HH:MM:SS.mmm  source | message" + CR LF
// in local time. Whatever the message and source hold, a record starts
// only with its time stamp at the start of a line: every line break inside
// the message (CR LF, LF or CR alone) is written CR LF followed by a
// continuation indent of four spaces, every other control character (C0 but
// tab, DEL, C1) and U+2028 and U+2029 as "\xHH" or "\uHHHH"; in the
// source, line breaks are escaped too. Other bytes stay. One process-wide mutex
// covers opening, time-stamping, writing and flushing, so lines from
// different threads never interleave and stand in time order. `log` may be
// called from any thread; `logAndNotify` shows its message box on the
// calling thread, which must then be the host's user-interface thread.

#include <chrono>
#include <cstdint>
#include <string>

namespace support {

// Writes one line. Never fails: a line that cannot be written is lost.
void log(const std::string& message, const std::string& source);

// Writes the line (title as source) and, when `show` is set, afterwards
// shows the message in a host message box with the title, OK button and
// the given host icon code. Without a host application nothing is shown.
void logAndNotify(const std::string& message, const std::string& title, bool show, int32_t icon);

// The file the next line goes to.
std::string logFilePath();

// The 23-character local time stamp that starts every line,
// "%Y-%m-%d %H:%M:%S." followed by three digits of milliseconds.
std::string formatLogTimestamp(std::chrono::system_clock::time_point when);

}  // namespace support
