// Fault injection at the wire: one-shot and persistent faults, their reach,
// and what each kind does to a transfer. What every fault at every endpoint
// does to the add-in is checked through the page by the fault matrix.

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

TEST_F(FaultTest, StatusFaultIsOneShotOrPersistentAndHitsOnlyItsEndpoint) {
  cloud->setFault(Endpoint::ProjectsList, Fault::statusCode(503, "", true));
  Reply first = listProjects();
  EXPECT_EQ(first.status, 503);
  EXPECT_NE(first.body.find("injected_fault"), std::string::npos);
  EXPECT_EQ(listProjects().status, 200);

  cloud->setFault(Endpoint::ProjectsList, Fault::statusCode(403, "denied"));
  for (int i = 0; i < 3; ++i) {
    Reply r = listProjects();
    EXPECT_EQ(r.status, 403);
    EXPECT_EQ(r.body, "denied");
  }
  cloud->clearFault(Endpoint::ProjectsList);
  EXPECT_EQ(listProjects().status, 200);

  cloud->setFault(Endpoint::ProjectCreate, Fault::statusCode(500));
  EXPECT_EQ(listProjects().status, 200);
  EXPECT_EQ(createProject().status, 500);
  // A fault answers in place of the endpoint: nothing was created.
  EXPECT_TRUE(cloud->projects().empty());
  cloud->clearFaults();
  EXPECT_EQ(createProject().status, 201);
  EXPECT_EQ(cloud->projects().size(), 1u);
}

TEST_F(FaultTest, WrongTypeAtAuthorizeSendsAnEmptyCode) {
  cloud->setFault(Endpoint::Authorize, Fault::wrongType());
  Reply authorize = get(authorizeUrl(makePkce()), options());
  EXPECT_EQ(authorize.status, 302);
  EXPECT_EQ(authorize.header("location"), cloud->redirectUri() + "?code=&state=STATE");
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

TEST_F(FaultTest, DroppedConnectionEndsMidBody) {
  cloud->setFault(Endpoint::ProjectsList, Fault::dropConnection(true));
  Reply dropped = listProjects();
  EXPECT_EQ(dropped.curlCode, CURLE_PARTIAL_FILE);
  EXPECT_EQ(dropped.status, 200);
  EXPECT_FALSE(dropped.body.empty());
  std::vector<emulator::RecordedRequest> log = cloud->requests();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().status, 0);
  EXPECT_EQ(listProjects().curlCode, CURLE_OK);
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
}

TEST_F(FaultTest, ServerIsUntrustedWithoutTheCaBundle) {
  RequestOptions noBundle = bearer(token);
  noBundle.caBundle = "/dev/null";
  EXPECT_NE(get(cloud->apiBase() + "/projects", noBundle).curlCode, CURLE_OK);
  noBundle.caBundle.clear();
  EXPECT_EQ(get(cloud->apiBase() + "/projects", noBundle).curlCode, CURLE_PEER_FAILED_VERIFICATION);
  // localhost is in the certificate too.
  std::string viaName = cloud->apiBase();
  viaName.replace(viaName.find("127.0.0.1"), 9, "localhost");
  EXPECT_EQ(get(viaName + "/projects", bearer(token)).status, 200);
}

TEST_F(FaultTest, AdminEndpointArmsFaults) {
  const std::string faults = cloud->accountServer() + "/_emulator/faults";
  EXPECT_EQ(request("PUT", faults, "projects-list=418,once", options()).status, 204);
  EXPECT_EQ(listProjects().status, 418);
  EXPECT_EQ(listProjects().status, 200);
  EXPECT_EQ(request("PUT", faults, "nowhere=500", options()).status, 400);
}

}  // namespace
}  // namespace emulator_test
