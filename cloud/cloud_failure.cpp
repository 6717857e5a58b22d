#include "cloud/cloud_failure.h"

namespace EXMIImpl {

uint32_t shownCode(const HttpResponse& response) {
    switch (response.error) {
    case TransferError::None: return response.status;
    case TransferError::Timeout:
    case TransferError::Stalled: return 28;
    default: return 4294967295u;
    }
}

std::string statusKind(uint32_t status) {
    if (status >= 500 && status <= 599) return "server";
    if (status == 401 || status == 403) return "refused";
    if (status >= 400 && status <= 499) return "client";
    return "answer";
}

CloudFailure requestFailure(const HttpResponse& response, const std::string& what) {
    CloudFailure failure;
    if (response.answered()) {
        failure.kind = statusKind(response.status);
        failure.status = response.status;
    } else {
        failure.kind = transferErrorName(response.error);
    }
    failure.message =
        response.detail.empty() ? what + " (" + std::to_string(shownCode(response)) + ")" : response.detail;
    return failure;
}

CloudFailure answerFailure(const HttpResponse& response, const std::string& message) {
    return CloudFailure{message, "answer", response.status, ""};
}

CloudFailure localFailure(const std::string& kind, const std::string& message) {
    return CloudFailure{message, kind, 0, ""};
}

}  // namespace EXMIImpl
