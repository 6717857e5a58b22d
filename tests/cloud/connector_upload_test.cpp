// Project creation with thumbnail and file and uploads into existing
// projects against the emulator. Print jobs, the upload form's project list
// and the web application are checked through the page by the vendor's
// upload workflow tests (unreadable files too); what each failure shows by
// the fault matrix, the texts of wrong answers on the readers.
#include <gtest/gtest.h>

#include "cloud/pkce.h"
#include "tests/cloud/connector_fixture.h"

namespace {

using cloudtest::ConnectorTest;
using cloudtest::Screens;
using emulator_test::makeJpeg;
using emulator_test::randomBytes;

using Projects = ConnectorTest;

// What the stored project and file hold is checked through the page by the
// vendor's upload workflow; here what only the connector puts on the wire.
TEST_F(Projects, CreatedProjectGetsItsThumbnailAndFile) {
    ASSERT_TRUE(signIn());
    const std::string jpeg = makeJpeg(40, 30);
    const std::string bytes = randomBytes(300 * 1024 + 5, 11);
    const std::string thumbnail = writeTempFile("thumb.jpg", jpeg);
    const std::string file = writeTempFile("export.3mf", bytes);
    listener.clear();

    connector->createProject("Bracket", "first try", file, "bracket.3mf", k3mfType, thumbnail, false);
    ASSERT_TRUE(waitForScreens(2));
    ASSERT_TRUE(drain());
    const auto projects = cloud->projects();
    ASSERT_EQ(1u, projects.size());
    const auto& project = projects[0];
    EXPECT_EQ(Screens({{4, ""}, {5, project.id}}), listener.screens);
    EXPECT_EQ("application/json", requestsTo("PUT", "/plyx/v1/projects").at(0).header("Content-Type"));

    const auto thumbnails = requestsTo("POST", "/plyx/v1/projects/" + project.id);
    ASSERT_EQ(1u, thumbnails.size());
    EXPECT_EQ(R"({"data":{"description":"first try","display_name":"Bracket","thumbnail":"data:image/jpeg;base64,)" +
                  EXMIImpl::base64Encode(std::vector<uint8_t>(jpeg.begin(), jpeg.end())) + "\"}}",
              thumbnails[0].body);

    // The storage PUT: no bearer token, exact length.
    const auto put = storagePut();
    EXPECT_FALSE(put.hasHeader("Authorization"));
    EXPECT_EQ(std::to_string(bytes.size()), put.header("Content-Length"));
}

TEST_F(Projects, WithoutThumbnailTheUploadStartsDirectly) {
    ASSERT_TRUE(signIn());
    const std::string file = writeTempFile("a.3mf", "abc");
    listener.clear();
    connector->createProject("NoPic", "", file, "a.3mf", k3mfType, "", false);
    ASSERT_TRUE(waitForScreens(2));
    ASSERT_TRUE(drain());
    const auto projects = cloud->projects();
    ASSERT_EQ(1u, projects.size());
    EXPECT_EQ(Screens({{4, ""}, {5, projects[0].id}}), listener.screens);
    EXPECT_TRUE(requestsTo("POST", "/plyx/v1/projects/" + projects[0].id).empty());
}

using Uploads = ConnectorTest;

// The upload states its length, zero included: without it the body would go chunked.
TEST_F(Uploads, EmptyFileAnnouncesSizeZeroAndPutsAnEmptyBody) {
    ASSERT_TRUE(signIn());
    const std::string project = cloud->addProject("Empty", "");
    const std::string path = writeTempFile("empty.3mf", "");
    listener.clear();
    connector->uploadToProject(project, path, "empty.3mf", k3mfType, false);
    ASSERT_TRUE(waitForScreens(2));
    EXPECT_EQ(Screens({{4, ""}, {5, project}}), listener.screens);
    EXPECT_NE(std::string::npos, requestsTo("PUT", "/plyx/v1/files/upload").at(0).body.find("\"file_size\":0,"));
    const auto put = storagePut();
    EXPECT_EQ("0", put.header("Content-Length"));
    EXPECT_EQ(0u, put.bodySize);
}

}  // namespace
