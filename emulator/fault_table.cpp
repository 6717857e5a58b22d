#include "emulator/fault_table.h"

#include <cstdlib>

namespace emulator {

namespace {

const std::pair<Endpoint, const char*> kEndpointNames[] = {
    {Endpoint::Authorize, "authorize"},        {Endpoint::Token, "token"},
    {Endpoint::ProjectsList, "projects-list"}, {Endpoint::ProjectCreate, "project-create"},
    {Endpoint::Thumbnail, "thumbnail"},        {Endpoint::FilesAnnounce, "files-announce"},
    {Endpoint::JobsAnnounce, "jobs-announce"}, {Endpoint::StoragePut, "storage-put"},
};

bool fail(std::string* error, const std::string& text) {
    if (error != nullptr) *error = text;
    return false;
}

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != nullptr && *end == '\0';
}

bool parseStatus(const std::string& text, int& status) {
    if (text.size() != 3) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    status = std::atoi(text.c_str());
    return status >= 100 && status <= 599;
}

}  // namespace

std::string endpointName(Endpoint endpoint) {
    for (const auto& entry : kEndpointNames) {
        if (entry.first == endpoint) return entry.second;
    }
    return "unknown";
}

bool parseEndpoint(const std::string& name, Endpoint& endpoint) {
    for (const auto& entry : kEndpointNames) {
        if (name == entry.second) {
            endpoint = entry.first;
            return true;
        }
    }
    return false;
}

std::vector<Endpoint> allEndpoints() {
    std::vector<Endpoint> all;
    for (const auto& entry : kEndpointNames) all.push_back(entry.first);
    return all;
}

Fault Fault::statusCode(int status, std::string body, bool oneShot) {
    Fault f;
    f.kind = Kind::Status;
    f.status = status;
    f.body = std::move(body);
    f.oneShot = oneShot;
    return f;
}

Fault Fault::malformedJson(bool oneShot) {
    Fault f;
    f.kind = Kind::MalformedJson;
    f.oneShot = oneShot;
    return f;
}

Fault Fault::wrongType(bool oneShot) {
    Fault f;
    f.kind = Kind::WrongType;
    f.oneShot = oneShot;
    return f;
}

Fault Fault::delay(double seconds, bool oneShot) {
    Fault f;
    f.kind = Kind::Delay;
    f.delaySeconds = seconds;
    f.oneShot = oneShot;
    return f;
}

Fault Fault::dropConnection(bool oneShot) {
    Fault f;
    f.kind = Kind::DropConnection;
    f.oneShot = oneShot;
    return f;
}

Fault Fault::untrustedCertificate(bool oneShot) {
    Fault f;
    f.kind = Kind::UntrustedCertificate;
    f.oneShot = oneShot;
    return f;
}

bool parseFault(const std::string& specText, Fault& fault, std::string* error) {
    std::string spec = specText;
    bool oneShot = false;
    const std::string onceSuffix = ",once";
    if (spec.size() > onceSuffix.size() &&
        spec.compare(spec.size() - onceSuffix.size(), onceSuffix.size(), onceSuffix) == 0) {
        oneShot = true;
        spec.resize(spec.size() - onceSuffix.size());
    }
    int status = 0;
    if (parseStatus(spec, status)) {
        fault = Fault::statusCode(status, {}, oneShot);
        return true;
    }
    if (spec.rfind("status:", 0) == 0) {
        std::string rest = spec.substr(7);
        std::string body;
        std::size_t colon = rest.find(':');
        if (colon != std::string::npos) {
            body = rest.substr(colon + 1);
            rest.resize(colon);
        }
        if (!parseStatus(rest, status)) return fail(error, "invalid status code: " + rest);
        fault = Fault::statusCode(status, body, oneShot);
        return true;
    }
    if (spec == "malformed") {
        fault = Fault::malformedJson(oneShot);
        return true;
    }
    if (spec == "wrongtype") {
        fault = Fault::wrongType(oneShot);
        return true;
    }
    if (spec.rfind("delay:", 0) == 0) {
        double seconds = 0;
        if (!parseNumber(spec.substr(6), seconds) || seconds < 0 || seconds > 86400) {
            return fail(error, "invalid delay: " + spec.substr(6));
        }
        fault = Fault::delay(seconds, oneShot);
        return true;
    }
    if (spec == "drop") {
        fault = Fault::dropConnection(oneShot);
        return true;
    }
    if (spec == "untrusted") {
        fault = Fault::untrustedCertificate(oneShot);
        return true;
    }
    return fail(error, "unknown fault: " + specText);
}

bool parseFaultAssignment(const std::string& text, Endpoint& endpoint, Fault& fault, std::string* error) {
    std::size_t equals = text.find('=');
    if (equals == std::string::npos) return fail(error, "expected ENDPOINT=FAULT: " + text);
    std::string name = text.substr(0, equals);
    if (!parseEndpoint(name, endpoint)) return fail(error, "unknown endpoint: " + name);
    return parseFault(text.substr(equals + 1), fault, error);
}

void FaultTable::set(Endpoint endpoint, const Fault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fault.kind == Fault::Kind::UntrustedCertificate) {
        certificate_ = fault;
        certificateEndpoint_ = endpoint;
    } else if (fault.kind == Fault::Kind::None) {
        faults_.erase(endpoint);
    } else {
        faults_[endpoint] = fault;
    }
}

void FaultTable::clear(Endpoint endpoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.erase(endpoint);
    if (certificateEndpoint_ == endpoint) certificate_ = Fault();
}

void FaultTable::clearAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
    certificate_ = Fault();
}

Fault FaultTable::take(Endpoint endpoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = faults_.find(endpoint);
    if (it == faults_.end()) return Fault();
    Fault fault = it->second;
    if (fault.oneShot) faults_.erase(it);
    return fault;
}

bool FaultTable::takeUntrustedCertificate() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (certificate_.kind != Fault::Kind::UntrustedCertificate) return false;
    if (certificate_.oneShot) certificate_ = Fault();
    return true;
}

}  // namespace emulator
