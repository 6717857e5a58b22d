#include "emulator/request_log.h"

#include <strings.h>

namespace emulator {

std::string RecordedRequest::header(const std::string& name) const {
    for (const auto& h : headers) {
        if (strcasecmp(h.first.c_str(), name.c_str()) == 0) return h.second;
    }
    return std::string();
}

bool RecordedRequest::hasHeader(const std::string& name) const {
    for (const auto& h : headers) {
        if (strcasecmp(h.first.c_str(), name.c_str()) == 0) return true;
    }
    return false;
}

void RequestLog::add(RecordedRequest request) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(std::move(request));
}

std::vector<RecordedRequest> RequestLog::all() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void RequestLog::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

}  // namespace emulator
