// Fault injection at the wire: reach, one-shot against persistent, and what
// the slow and untrusted kinds do to a transfer. What every fault at every
// endpoint does to the add-in (dropped connections and wrong types included)
// is checked through the page by the fault matrix.

#include "tests/emulator/emulator_fixture.h"

#include <curl/curl.h>

#include <chrono>

namespace emulator_test {
namespace {

using emulator::Endpoint;
using emulator::Fault;

class FaultTest : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        token = cloud->issueAccessToken();
    }
    Reply listProjects(long timeout = 20) {
        RequestOptions o = bearer(token);
        o.timeoutSeconds = timeout;
        return get(cloud->apiBase() + "/projects", o);
    }
    Reply createProject() {
        return request("PUT", cloud->apiBase() + "/projects",
                       "{\"data\":{\"display_name\":\"x\",\"description\":\"\"}}",
                       bearer(token, {"Content-Type: application/json"}));
    }
    std::string token;
};

TEST_F(FaultTest, StatusFaultHitsOnlyItsEndpointInPlaceOfItAndTheAdminAddressArmsOne) {
    cloud->setFault(Endpoint::ProjectCreate, Fault::statusCode(500, "denied"));
    EXPECT_EQ(listProjects().status, 200);
    for (int i = 0; i < 2; ++i) {
        Reply r = createProject();
        EXPECT_EQ(r.status, 500);
        EXPECT_EQ(r.body, "denied");
    }
    EXPECT_TRUE(cloud->projects().empty()) << "a fault answers in place of the endpoint";
    cloud->clearFaults();
    EXPECT_EQ(createProject().status, 201);

    const std::string faults = cloud->accountServer() + "/_emulator/faults";
    EXPECT_EQ(request("PUT", faults, "projects-list=418,once", options()).status, 204);
    Reply once = listProjects();
    EXPECT_EQ(once.status, 418);
    EXPECT_NE(once.body.find("injected_fault"), std::string::npos);
    EXPECT_EQ(listProjects().status, 200);
    EXPECT_EQ(request("PUT", faults, "nowhere=500", options()).status, 400);
}

TEST_F(FaultTest, DelayOutlastsTheClientTimeoutAndStopIsPrompt) {
    cloud->setFault(Endpoint::ProjectsList, Fault::delay(1.5, true));
    EXPECT_EQ(listProjects(1).curlCode, CURLE_OPERATION_TIMEDOUT);
    cloud->setFault(Endpoint::ProjectsList, Fault::delay(0.2, true));
    EXPECT_EQ(listProjects(10).status, 200);

    // A long delay still in progress does not hold up stop().
    cloud->setFault(Endpoint::ProjectsList, Fault::delay(600));
    EXPECT_EQ(listProjects(1).curlCode, CURLE_OPERATION_TIMEDOUT);
    auto before = std::chrono::steady_clock::now();
    cloud->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));
}

TEST_F(FaultTest, UntrustedCertificateIsRefusedByAVerifyingClient) {
    cloud->setFault(Endpoint::ProjectsList, Fault::untrustedCertificate(true));
    Reply refused = listProjects();
    EXPECT_EQ(refused.curlCode, CURLE_PEER_FAILED_VERIFICATION);
    EXPECT_EQ(refused.status, 0);
    // One-shot: the next handshake shows the trusted certificate again.
    EXPECT_EQ(listProjects().status, 200);

    // Chosen at the handshake, before the path is known: it meets every endpoint.
    cloud->setFault(Endpoint::Token, Fault::untrustedCertificate());
    EXPECT_EQ(listProjects().curlCode, CURLE_PEER_FAILED_VERIFICATION);
    EXPECT_EQ(listProjects().curlCode, CURLE_PEER_FAILED_VERIFICATION);
    cloud->clearFault(Endpoint::Token);
    EXPECT_EQ(listProjects().status, 200);

    // Without the emulator's own CA the server is not trusted; localhost is in
    // its certificate as well as the address.
    RequestOptions noBundle = bearer(token);
    noBundle.caBundle.clear();
    EXPECT_EQ(get(cloud->apiBase() + "/projects", noBundle).curlCode, CURLE_PEER_FAILED_VERIFICATION);
    std::string viaName = cloud->apiBase();
    viaName.replace(viaName.find("127.0.0.1"), 9, "localhost");
    EXPECT_EQ(get(viaName + "/projects", bearer(token)).status, 200);
}

}  // namespace
}  // namespace emulator_test
