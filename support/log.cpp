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
        // A message of several lines ends each with CR LF, as the last one does.
        std::string text;
        text.reserve(message.size());
        for (size_t i = 0; i < message.size(); ++i) {
            if (message[i] == '\n' && (i == 0 || message[i - 1] != '\r')) text += '\r';
            text += message[i];
        }
        const std::string line =
            formatLogTimestamp(std::chrono::system_clock::now()) + "  " + source + " | " + text + "\r\n";
        std::fwrite(line.data(), 1, line.size(), file.get());
        std::fflush(file.get());
    } catch (...) {
        // Logging must never disturb the caller; the line is lost.
    }
}

}  // namespace support
