#include "tests/net/test_tls.h"

#include <stdexcept>

namespace cloudtest {

TestCertificates::TestCertificates() : caPath_(folder_ / "ca.pem") {
    std::string error;
    if (!set_.generate(&error)) throw std::runtime_error("test certificates: " + error);
    testing_support::writeWholeFile(caPath_, set_.caPem());
}

}  // namespace cloudtest
