// Cloud API: what it refuses. Listing, creating and uploading the way the
// client does are driven by the connector's and the upload workflow's tests;
// these are the checks a faulty client would trip over.

#include "tests/emulator/emulator_fixture.h"

#include <rapidjson/document.h>

namespace emulator_test {
namespace {

class ApiTest : public EmulatorTest {
protected:
    Reply send(const std::string& method, const std::string& path, const std::string& body, const std::string& token,
               const std::string& type = "application/json") {
        return request(method, cloud->apiBase() + path, body, bearer(token, {"Content-Type: " + type}));
    }
    std::string thumbnailBody(const std::string& dataAddress) {
        return "{\"data\":{\"description\":\"d\",\"display_name\":\"Bracket\",\"thumbnail\":\"" + dataAddress + "\"}}";
    }
};

TEST_F(ApiTest, EveryEndpointRequiresAValidBearerTokenWithTheRightScope) {
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
        Reply none = request(c.method, cloud->apiBase() + c.path, c.body, options({"Content-Type: application/json"}));
        EXPECT_EQ(none.status, 401) << c.method << " " << c.path;
        EXPECT_EQ(none.header("www-authenticate").rfind("Bearer", 0), 0u);
        EXPECT_EQ(send(c.method, c.path, c.body, "not-a-token").status, 401) << c.method << " " << c.path;
        Reply basic = request(c.method, cloud->apiBase() + c.path, c.body,
                              options({"Content-Type: application/json", "Authorization: Basic eDp5"}));
        EXPECT_EQ(basic.status, 401) << c.method << " " << c.path;
    }
    EXPECT_EQ(cloud->projects().size(), 1u);
    EXPECT_EQ(cloud->projects()[0].thumbnailSize, 0u);

    std::string readOnly = cloud->issueAccessToken({"library.project.read"});
    EXPECT_EQ(get(cloud->apiBase() + "/projects", bearer(readOnly)).status, 200);
    Reply create = send("PUT", "/projects", "{\"data\":{\"display_name\":\"x\"}}", readOnly);
    EXPECT_EQ(create.status, 403);
    EXPECT_NE(create.header("www-authenticate").find("insufficient_scope"), std::string::npos);
    std::string meshOnly = cloud->issueAccessToken({"plyx.mesh.write"});
    EXPECT_EQ(announce(meshOnly, project, 10, false).status, 201);
    EXPECT_EQ(announce(meshOnly, project, 10, true).status, 403);
}

TEST_F(ApiTest, MalformedProjectsAndAnnouncementsAreRefused) {
    std::string token = cloud->issueAccessToken();
    std::string project = cloud->addProject("P", "");
    auto announcement = [&](const std::string& nameKey, const std::string& size, const std::string& id) {
        return "{\"data\":{\"content_type\":\"text/plain\",\"" + nameKey + "\":\"a.gcode\",\"file_size\":" + size +
               ",\"library_project_id\":\"" + id + "\",\"origin\":\"Quorvane Kalvix\"}}";
    };
    struct Case {
        std::string method, path, body, type;
        long status;
    } cases[] = {
        {"PUT", "/projects", "{\"data\":{\"display_name\":\"\"}}", "application/json", 400},
        {"PUT", "/projects", "{\"data\":{\"display_name\":7}}", "application/json", 400},
        {"PUT", "/projects", "{\"data\":{\"display_name\":\"a\",\"description\":1}}", "application/json", 400},
        {"PUT", "/projects", "{\"display_name\":\"a\"}", "application/json", 400},
        {"PUT", "/projects", "{\"data\":", "application/json", 400},
        {"PUT", "/projects", "{\"data\":{\"display_name\":\"a\"}}", "text/plain", 415},
        {"PUT", "/jobs/upload", announcement("job_name", "12", project), "application/json", 201},
        {"PUT", "/jobs/upload", announcement("file_name", "12", project), "application/json", 400},
        {"PUT", "/files/upload", announcement("job_name", "12", project), "application/json", 400},
        {"PUT", "/jobs/upload", announcement("job_name", "12.0", project), "application/json", 400},
        {"PUT", "/jobs/upload", announcement("job_name", "-1", project), "application/json", 400},
        {"PUT", "/jobs/upload", announcement("job_name", "\"12\"", project), "application/json", 400},
        {"PUT", "/jobs/upload", announcement("job_name", "12", "unknown"), "application/json", 404},
    };
    for (const auto& c : cases)
        EXPECT_EQ(send(c.method, c.path, c.body, token, c.type).status, c.status) << c.path << " " << c.body;
    EXPECT_EQ(cloud->projects().size(), 1u);

    Reply file = announce(token, project, 5, false);
    rapidjson::Document doc;
    doc.Parse(file.body.c_str());
    ASSERT_TRUE(doc.IsObject()) << file.body;
    EXPECT_TRUE(doc["data"]["file_id"].IsString());
    EXPECT_FALSE(doc["data"].HasMember("job_id"));
}

TEST_F(ApiTest, ThumbnailMustBeADecodableJpegDataAddress) {
    std::string token = cloud->issueAccessToken();
    std::string id = cloud->addProject("Bracket", "");
    std::string jpeg = makeJpeg(80, 60);
    Reply ok = send("POST", "/projects/" + id, thumbnailBody("data:image/jpeg;base64," + base64(jpeg)), token);
    ASSERT_EQ(ok.status, 200) << ok.body;
    EXPECT_EQ(cloud->projects().at(0).thumbnailWidth, 80);
    EXPECT_EQ(cloud->projects().at(0).thumbnailHeight, 60);

    std::string truncated = jpeg.substr(0, jpeg.size() / 2);
    struct Case {
        std::string id, address;
        long status;
    } cases[] = {
        {id, "data:image/png;base64," + base64(jpeg), 415},
        {id, "data:image/jpeg;base64," + base64(jpeg).substr(1), 400},
        {id, "data:image/jpeg;base64,@@@@", 400},
        {id, "data:image/jpeg;base64," + base64("plain text, not an image"), 400},
        {id, "data:image/jpeg;base64," + base64(truncated), 400},
        {"no-such-project", "data:image/jpeg;base64," + base64(jpeg), 404},
    };
    for (const auto& c : cases) {
        Reply r = send("POST", "/projects/" + c.id, thumbnailBody(c.address), token);
        EXPECT_EQ(r.status, c.status) << c.address.substr(0, 40) << " " << r.body;
    }
    // A refused thumbnail leaves the accepted one in place.
    EXPECT_EQ(cloud->projects().at(0).thumbnailSha256, sha256Hex(jpeg));
}

}  // namespace
}  // namespace emulator_test
