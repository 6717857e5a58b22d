#include "support/log.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>

#include "platform/clock.h"
#include "platform/files.h"
#include "support/files.h"
#include "support/text.h"

namespace support {

namespace {

std::mutex& logMutex() {
    static std::mutex instance;  // thread-safe on first use
    return instance;
}

const char kContinuation[] = "    ";

void appendEscape(std::string& out, const char* format, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, format, value);
    out += text;
}

// The text as it is written into a record, so that nothing in it can start
// a record of its own: every line break (CR LF, LF or CR alone) becomes
// CR LF and the continuation indent when `lineBreaks`, and is escaped
// otherwise; every other control character (C0 but tab, DEL, C1) and the
// Unicode line and paragraph separators are escaped, as \xHH and \uHHHH.
std::string recordText(const std::string& text, bool lineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (lineBreaks && (c == '\r' || c == '\n')) {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
            out += kContinuation;
        } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
            appendEscape(out, "\\x%02X", c);
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            appendEscape(out, "\\u%04X", static_cast<unsigned char>(text[++i]));
        } else if (c == 0xE2 && i + 2 < text.size() && text[i + 1] == '\x80' &&
                   (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
            appendEscape(out, "\\u%04X", text[i + 2] == '\xA8' ? 0x2028u : 0x2029u);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string logFilePath() {
    const std::string appData = getEnvironmentVariable("APPDATA");
    if (appData.empty()) return "EXMI.log";
    return appData + "/Quorvane/Quorvane Kalvix/EXMI-AddIns/EXMI.log";
}

std::string formatLogTimestamp(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto second = floor<seconds>(when);
    const auto millis = duration_cast<milliseconds>(when - second).count();
    std::tm local{};
    char text[64];
    if (!platform::localTime(system_clock::to_time_t(second), local) ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S.", &local) == 0) {
        return "0000-00-00 00:00:00.000";
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", static_cast<int>(millis));
    return std::string(text) + digits;
}

void log(const std::string& message, const std::string& source) {
    try {
        const std::u16string path = toUtf16(logFilePath());
        std::lock_guard<std::mutex> lock(logMutex());
        std::unique_ptr<std::FILE, FileCloser> file(platform::openFile(path, platform::OpenMode::AppendBinary));
        if (!file) return;
        // Binary mode with an explicit CR LF gives the same bytes everywhere.
        const std::string text = recordText(message, true);
        const std::string line = formatLogTimestamp(std::chrono::system_clock::now()) + "  " +
                                 recordText(source, false) + " | " + text + "\r\n";
        std::fwrite(line.data(), 1, line.size(), file.get());
        std::fflush(file.get());
    } catch (...) {
        // Logging must never disturb the caller; the line is lost.
    }
}

}  // namespace support
