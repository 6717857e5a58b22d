// Cloud API: bearer checks, projects, thumbnails, upload announcements.

#include "tests/emulator/emulator_fixture.h"

#include <rapidjson/document.h>

namespace emulator_test {
namespace {

class ApiTest : public EmulatorTest {
 protected:
  Reply put(const std::string& path, const std::string& body, const std::string& token) {
    return request("PUT", cloud->apiBase() + path, body,
                   bearer(token, {"Content-Type: application/json"}));
  }
  Reply post(const std::string& path, const std::string& body, const std::string& token) {
    return request("POST", cloud->apiBase() + path, body,
                   bearer(token, {"Content-Type: application/json"}));
  }
  std::string thumbnailBody(const std::string& dataAddress) {
    return "{\"data\":{\"description\":\"d\",\"display_name\":\"Bracket\",\"thumbnail\":\"" +
           dataAddress + "\"}}";
  }
};

TEST_F(ApiTest, EveryEndpointRequiresAValidBearerToken) {
  std::string project = cloud->addProject("Seed", "");
  struct Call {
    std::string method, path, body;
  } calls[] = {
      {"GET", "/projects", ""},
      {"PUT", "/projects", "{\"data\":{\"display_name\":\"x\",\"description\":\"\"}}"},
      {"POST", "/projects/" + project, thumbnailBody("data:image/jpeg;base64," + base64(makeJpeg(8, 8)))},
      {"PUT", "/files/upload", ""},
      {"PUT", "/jobs/upload", ""},
  };
  for (const auto& c : calls) {
    Reply none = request(c.method, cloud->apiBase() + c.path, c.body,
                         options({"Content-Type: application/json"}));
    EXPECT_EQ(none.status, 401) << c.method << " " << c.path;
    EXPECT_EQ(none.header("www-authenticate").rfind("Bearer", 0), 0u);
    Reply bogus = request(c.method, cloud->apiBase() + c.path, c.body,
                          bearer("not-a-token", {"Content-Type: application/json"}));
    EXPECT_EQ(bogus.status, 401) << c.method << " " << c.path;
    Reply basic = request(c.method, cloud->apiBase() + c.path, c.body,
                          options({"Content-Type: application/json", "Authorization: Basic eDp5"}));
    EXPECT_EQ(basic.status, 401) << c.method << " " << c.path;
  }
  EXPECT_EQ(cloud->projects().size(), 1u);
  EXPECT_EQ(cloud->projects()[0].thumbnailSize, 0u);
}

TEST_F(ApiTest, ScopesLimitWhatATokenMayDo) {
  std::string readOnly = cloud->issueAccessToken({"library.project.read"});
  EXPECT_EQ(get(cloud->apiBase() + "/projects", bearer(readOnly)).status, 200);
  Reply create = put("/projects", "{\"data\":{\"display_name\":\"x\"}}", readOnly);
  EXPECT_EQ(create.status, 403);
  EXPECT_NE(create.header("www-authenticate").find("insufficient_scope"), std::string::npos);

  std::string meshOnly = cloud->issueAccessToken({"plyx.mesh.write"});
  std::string project = cloud->addProject("P", "");
  EXPECT_EQ(announce(meshOnly, project, 10, false).status, 201);
  EXPECT_EQ(announce(meshOnly, project, 10, true).status, 403);
}

TEST_F(ApiTest, ProjectsAreCreatedAndListedInOrder) {
  Tokens tokens = signInFully();
  Reply empty = get(cloud->apiBase() + "/projects", bearer(tokens.access));
  EXPECT_EQ(empty.body, "{\"data\":[]}");

  Reply created = put("/projects",
                      "{\"data\":{\"display_name\":\"Bracket \\\"v2\\\"\",\"description\":\"steel\"}}",
                      tokens.access);
  ASSERT_EQ(created.status, 201) << created.body;
  std::string second = createProject(tokens.access, "Housing");

  Reply list = get(cloud->apiBase() + "/projects", bearer(tokens.access));
  rapidjson::Document doc;
  doc.Parse(list.body.c_str());
  ASSERT_TRUE(doc.IsObject() && doc["data"].IsArray()) << list.body;
  ASSERT_EQ(doc["data"].Size(), 2u);
  EXPECT_STREQ(doc["data"][0]["display_name"].GetString(), "Bracket \"v2\"");
  EXPECT_STREQ(doc["data"][0]["description"].GetString(), "steel");
  EXPECT_STREQ(doc["data"][1]["library_project_id"].GetString(), second.c_str());
  EXPECT_EQ(cloud->projects().at(1).id, second);
}

TEST_F(ApiTest, CreateRefusesMalformedRequests) {
  std::string token = cloud->issueAccessToken();
  for (const char* body : {"{\"data\":{\"display_name\":\"\"}}", "{\"data\":{\"display_name\":7}}",
                           "{\"data\":{\"display_name\":\"a\",\"description\":1}}",
                           "{\"display_name\":\"a\"}", "{\"data\":"})
    EXPECT_EQ(put("/projects", body, token).status, 400) << body;
  Reply text = request("PUT", cloud->apiBase() + "/projects", "{\"data\":{\"display_name\":\"a\"}}",
                       bearer(token, {"Content-Type: text/plain"}));
  EXPECT_EQ(text.status, 415);
  EXPECT_TRUE(cloud->projects().empty());
}

TEST_F(ApiTest, ThumbnailMustBeADecodableJpegDataAddress) {
  std::string token = cloud->issueAccessToken();
  std::string id = createProject(token, "Bracket");
  std::string jpeg = makeJpeg(80, 60);

  Reply ok = post("/projects/" + id, thumbnailBody("data:image/jpeg;base64," + base64(jpeg)), token);
  ASSERT_EQ(ok.status, 200) << ok.body;
  emulator::Project stored = cloud->projects().at(0);
  EXPECT_EQ(stored.thumbnailSize, jpeg.size());
  EXPECT_EQ(stored.thumbnailSha256, sha256Hex(jpeg));
  EXPECT_EQ(stored.thumbnailWidth, 80);
  EXPECT_EQ(stored.thumbnailHeight, 60);
  EXPECT_EQ(stored.description, "d");

  std::string truncated = jpeg.substr(0, jpeg.size() / 2);
  struct Case {
    std::string address;
    long status;
  } cases[] = {
      {"data:image/png;base64," + base64(jpeg), 415},
      {"data:image/jpeg;base64," + base64(jpeg).substr(1), 400},
      {"data:image/jpeg;base64,@@@@", 400},
      {"data:image/jpeg;base64," + base64("plain text, not an image"), 400},
      {"data:image/jpeg;base64," + base64(truncated), 400},
  };
  for (const auto& c : cases) {
    Reply r = post("/projects/" + id, thumbnailBody(c.address), token);
    EXPECT_EQ(r.status, c.status) << c.address.substr(0, 40) << " " << r.body;
  }
  // A refused thumbnail leaves the accepted one in place.
  EXPECT_EQ(cloud->projects().at(0).thumbnailSha256, sha256Hex(jpeg));

  Reply missing = post("/projects/no-such-project",
                       thumbnailBody("data:image/jpeg;base64," + base64(jpeg)), token);
  EXPECT_EQ(missing.status, 404);
}

TEST_F(ApiTest, AnnouncementsValidateTheirMembers) {
  std::string token = cloud->issueAccessToken();
  std::string project = createProject(token, "P");
  auto body = [&](const std::string& nameKey, const std::string& size, const std::string& id) {
    return "{\"data\":{\"content_type\":\"text/plain\",\"" + nameKey + "\":\"a.gcode\",\"file_size\":" +
           size + ",\"library_project_id\":\"" + id + "\",\"origin\":\"Quorvane Kalvix\"}}";
  };
  EXPECT_EQ(put("/jobs/upload", body("job_name", "12", project), token).status, 201);
  EXPECT_EQ(put("/jobs/upload", body("file_name", "12", project), token).status, 400);
  EXPECT_EQ(put("/files/upload", body("job_name", "12", project), token).status, 400);
  EXPECT_EQ(put("/jobs/upload", body("job_name", "12.0", project), token).status, 400);
  EXPECT_EQ(put("/jobs/upload", body("job_name", "-1", project), token).status, 400);
  EXPECT_EQ(put("/jobs/upload", body("job_name", "\"12\"", project), token).status, 400);
  EXPECT_EQ(put("/jobs/upload", body("job_name", "12", "unknown"), token).status, 404);

  Reply job = announce(token, project, 5, true);
  rapidjson::Document doc;
  doc.Parse(job.body.c_str());
  ASSERT_TRUE(doc.IsObject()) << job.body;
  EXPECT_TRUE(doc["data"]["job_id"].IsString());
  std::string url = doc["data"]["upload_url"].GetString();
  EXPECT_EQ(url.rfind(cloud->accountServer() + "/storage/", 0), 0u) << url;
  Reply file = announce(token, project, 5, false);
  doc.Parse(file.body.c_str());
  EXPECT_TRUE(doc["data"]["file_id"].IsString());
  EXPECT_FALSE(doc["data"].HasMember("job_id"));
}

}  // namespace
}  // namespace emulator_test
