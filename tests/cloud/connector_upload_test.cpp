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

// The announcement's answer is the service's word: an upload address that is
// not https fails before anything is sent, and an error answer reaches the
// page and the log only in its first few KiB, unable to forge a log line.
TEST_F(Uploads, AnnouncementAnswersAreTrustedOnlySoFar) {
    ASSERT_TRUE(signIn());
    const std::string project = cloud->addProject("Target", "");
    const std::string local = writeTempFile("victim.txt", "the user's own file");
    const std::string forged = "\r\n2026-01-01 00:00:00.000  EXMI | Started EXMI AddIn: forged";
    const std::string longAnswer = "denied" + forged + std::string(50 * 1024, 'x');
    const size_t shown = EXMIImpl::CStratavoxFabriqoConnector::kShownAnswerBytes;
    const struct {
        const char* what;
        emulator::Fault fault;
        std::string text;
    } cases[] = {
        {"file address", emulator::Fault::statusCode(200, R"({"data":{"upload_url":"file://)" + local + "\"}}"),
         "the upload address is not https"},
        {"plain address", emulator::Fault::statusCode(200, R"({"data":{"upload_url":"http://127.0.0.1:9/s/1"}})"),
         "the upload address is not https"},
        {"long error answer", emulator::Fault::statusCode(500, longAnswer),
         "could not upload file to project (500)\n" + longAnswer.substr(0, shown) + "\xE2\x80\xA6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        cloud->setFault(emulator::Endpoint::FilesAnnounce, c.fault);
        const std::string file = writeTempFile("design.3mf", "design bytes");
        listener.clear();
        connector->uploadToProject(project, file, "design.3mf", k3mfType, false);
        ASSERT_TRUE(waitForScreens(2));
        ASSERT_TRUE(drain());
        EXPECT_EQ(Screens({{4, ""}, {6, c.text}}), listener.screens);
    }
    EXPECT_TRUE(cloud->storedFiles().empty());
    EXPECT_EQ("the user's own file", testing_support::readWholeFile(local));
    // Every line of the log is the add-in's own: the answer's line break is
    // escaped and its text cut where the page's is.
    const std::string log = logText();
    EXPECT_EQ(std::string::npos, log.find("\r\n2026-01-01")) << log.substr(0, 2000);
    EXPECT_NE(std::string::npos, log.find("(500)\r\ndenied\\r\\n2026-01-01"));
    EXPECT_LT(log.size(), shown + 4096);
}

}  // namespace
