// Fault injection: each kind, one-shot and persistent, per endpoint.

#include "tests/emulator/emulator_fixture.h"

#include <curl/curl.h>
#include <rapidjson/document.h>

#include <chrono>

namespace emulator_test {
namespace {

using emulator::Endpoint;
using emulator::Fault;

class FaultTest : public EmulatorTest {
 protected:
  void SetUp() override {
    EmulatorTest::SetUp();
    token = cloud.issueAccessToken();
  }
  Reply listProjects(long timeout = 20) {
    RequestOptions o = bearer(token);
    o.timeoutSeconds = timeout;
    return get(cloud.apiBase() + "/projects", o);
  }
  std::string token;
};

TEST_F(FaultTest, StatusFaultIsOneShotOrPersistent) {
  cloud.setFault(Endpoint::ProjectsList, Fault::statusCode(503, "", true));
  Reply first = listProjects();
  EXPECT_EQ(first.status, 503);
  EXPECT_NE(first.body.find("injected_fault"), std::string::npos);
  EXPECT_EQ(listProjects().status, 200);

  cloud.setFault(Endpoint::ProjectsList, Fault::statusCode(403, "denied"));
  for (int i = 0; i < 3; ++i) {
    Reply r = listProjects();
    EXPECT_EQ(r.status, 403);
    EXPECT_EQ(r.body, "denied");
  }
  cloud.clearFault(Endpoint::ProjectsList);
  EXPECT_EQ(listProjects().status, 200);
}

TEST_F(FaultTest, FaultsOnlyHitTheirEndpoint) {
  cloud.setFault(Endpoint::ProjectCreate, Fault::statusCode(500));
  EXPECT_EQ(listProjects().status, 200);
  Reply create = request("PUT", cloud.apiBase() + "/projects",
                         "{\"data\":{\"display_name\":\"x\",\"description\":\"\"}}",
                         bearer(token, {"Content-Type: application/json"}));
  EXPECT_EQ(create.status, 500);
  // A fault answers in place of the endpoint: nothing was created.
  EXPECT_TRUE(cloud.projects().empty());
  cloud.clearFaults();
  Reply again = request("PUT", cloud.apiBase() + "/projects",
                        "{\"data\":{\"display_name\":\"x\",\"description\":\"\"}}",
                        bearer(token, {"Content-Type: application/json"}));
  EXPECT_EQ(again.status, 201);
  EXPECT_EQ(cloud.projects().size(), 1u);
}

TEST_F(FaultTest, MalformedJsonIsNotJson) {
  const Endpoint endpoints[] = {Endpoint::Token, Endpoint::ProjectsList, Endpoint::ProjectCreate,
                                Endpoint::FilesAnnounce};
  for (Endpoint e : endpoints) cloud.setFault(e, Fault::malformedJson());
  std::string project = cloud.addProject("P", "");
  Reply replies[] = {
      exchangeCode("abc", makePkce().verifier),
      listProjects(),
      request("PUT", cloud.apiBase() + "/projects", "{\"data\":{\"display_name\":\"x\"}}",
              bearer(token, {"Content-Type: application/json"})),
      announce(token, project, 3),
  };
  for (const Reply& r : replies) {
    EXPECT_EQ(r.status, 200);
    rapidjson::Document doc;
    doc.Parse(r.body.c_str());
    EXPECT_TRUE(doc.HasParseError()) << r.body;
  }
}

TEST_F(FaultTest, WrongTypeKeepsJsonButBreaksTheKeyMember) {
  cloud.setFault(Endpoint::Token, Fault::wrongType());
  cloud.setFault(Endpoint::ProjectsList, Fault::wrongType());
  cloud.setFault(Endpoint::FilesAnnounce, Fault::wrongType());
  cloud.setFault(Endpoint::Authorize, Fault::wrongType());
  std::string project = cloud.addProject("P", "");

  rapidjson::Document doc;
  doc.Parse(exchangeCode("abc", makePkce().verifier).body.c_str());
  ASSERT_TRUE(doc.IsObject());
  EXPECT_TRUE(doc["access_token"].IsString());
  EXPECT_TRUE(doc["expires_in"].IsString());

  doc.Parse(listProjects().body.c_str());
  ASSERT_TRUE(doc.IsObject());
  EXPECT_FALSE(doc["data"][0]["library_project_id"].IsString());

  doc.Parse(announce(token, project, 3).body.c_str());
  ASSERT_TRUE(doc.IsObject());
  EXPECT_FALSE(doc["data"]["upload_url"].IsString());

  Reply authorize = get(authorizeUrl(makePkce()), options());
  EXPECT_EQ(authorize.status, 302);
  EXPECT_EQ(authorize.header("location"), cloud.redirectUri() + "?code=&state=STATE");
}

TEST_F(FaultTest, DelayOutlastsTheClientTimeoutAndStopIsPrompt) {
  cloud.setFault(Endpoint::ProjectsList, Fault::delay(1.5, true));
  Reply late = listProjects(1);
  EXPECT_EQ(late.curlCode, CURLE_OPERATION_TIMEDOUT);

  cloud.setFault(Endpoint::ProjectsList, Fault::delay(0.2, true));
  Reply patient = listProjects(10);
  EXPECT_EQ(patient.status, 200);

  // A long delay still in progress does not hold up stop().
  cloud.setFault(Endpoint::ProjectsList, Fault::delay(600));
  Reply abandoned = listProjects(1);
  EXPECT_EQ(abandoned.curlCode, CURLE_OPERATION_TIMEDOUT);
  auto before = std::chrono::steady_clock::now();
  cloud.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));
}

TEST_F(FaultTest, DroppedConnectionEndsMidBody) {
  cloud.setFault(Endpoint::ProjectsList, Fault::dropConnection(true));
  Reply dropped = listProjects();
  EXPECT_EQ(dropped.curlCode, CURLE_PARTIAL_FILE);
  EXPECT_EQ(dropped.status, 200);
  EXPECT_FALSE(dropped.body.empty());
  std::vector<emulator::RecordedRequest> log = cloud.requests();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().status, 0);
  EXPECT_EQ(listProjects().curlCode, CURLE_OK);
}

TEST_F(FaultTest, StorageFaultsStoreNothing) {
  std::string project = cloud.addProject("P", "");
  std::string url = uploadUrlOf(announce(token, project, 4));
  cloud.setFault(Endpoint::StoragePut, Fault::statusCode(500, "", true));
  EXPECT_EQ(request("PUT", url, "abcd", options()).status, 500);
  cloud.setFault(Endpoint::StoragePut, Fault::dropConnection(true));
  EXPECT_NE(request("PUT", url, "abcd", options()).curlCode, CURLE_OK);
  EXPECT_TRUE(cloud.storedFiles().empty());
  EXPECT_EQ(request("PUT", url, "abcd", options()).status, 200);
  EXPECT_EQ(cloud.storedFiles().size(), 1u);
}

TEST_F(FaultTest, UntrustedCertificateIsRefusedByAVerifyingClient) {
  cloud.setFault(Endpoint::ProjectsList, Fault::untrustedCertificate(true));
  Reply refused = listProjects();
  EXPECT_EQ(refused.curlCode, CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_EQ(refused.status, 0);
  // One-shot: the next handshake shows the trusted certificate again.
  EXPECT_EQ(listProjects().status, 200);

  cloud.setFault(Endpoint::Token, Fault::untrustedCertificate());
  EXPECT_EQ(listProjects().curlCode, CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_EQ(listProjects().curlCode, CURLE_PEER_FAILED_VERIFICATION);
  cloud.clearFault(Endpoint::Token);
  EXPECT_EQ(listProjects().status, 200);
}

TEST_F(FaultTest, ServerIsUntrustedWithoutTheCaBundle) {
  RequestOptions noBundle = bearer(token);
  noBundle.caBundle = "/dev/null";
  EXPECT_NE(get(cloud.apiBase() + "/projects", noBundle).curlCode, CURLE_OK);
  noBundle.caBundle.clear();
  EXPECT_EQ(get(cloud.apiBase() + "/projects", noBundle).curlCode, CURLE_PEER_FAILED_VERIFICATION);
  // localhost is in the certificate too.
  std::string viaName = cloud.apiBase();
  viaName.replace(viaName.find("127.0.0.1"), 9, "localhost");
  EXPECT_EQ(get(viaName + "/projects", bearer(token)).status, 200);
}

TEST_F(FaultTest, AdminEndpointArmsFaults) {
  Reply armed = request("PUT", cloud.accountServer() + "/_emulator/faults", "projects-list=418,once",
                        options());
  EXPECT_EQ(armed.status, 204);
  EXPECT_EQ(listProjects().status, 418);
  EXPECT_EQ(listProjects().status, 200);
  Reply bad = request("PUT", cloud.accountServer() + "/_emulator/faults", "nowhere=500", options());
  EXPECT_EQ(bad.status, 400);
}

}  // namespace
}  // namespace emulator_test
