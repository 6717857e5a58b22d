// Project list, project creation with thumbnail and file, uploads of library
// files and print jobs into existing projects, and opening the web
// application, against the emulator. What each failure of these requests
// shows is checked through the page by the fault matrix, the texts of wrong
// answers on the readers.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "cloud/pkce.h"
#include "tests/cloud/connector_fixture.h"
#include "tests/net/test_tls.h"

namespace {

using cloudtest::ConnectorTest;
using cloudtest::Screens;
using emulator_test::makeJpeg;
using emulator_test::randomBytes;

using Projects = ConnectorTest;

TEST_F(Projects, UploadFormComesFirstThenTheListWithTheCurrentProject) {
    ASSERT_TRUE(signIn());
    const std::string id = cloud->addProject("Existing", "with \"quotes\"");
    const std::string file = writeTempFile("part.3mf", "bytes");
    connector->uploadToProject(id, file, "part.3mf", k3mfType, false);
    ASSERT_TRUE(drain());
    listener.clear();

    connector->showUploadForm();
    EXPECT_EQ(Screens({{3, ""}}), listener.screens);
    ASSERT_TRUE(pumpUntil([&] { return !listener.lists.empty(); }));
    EXPECT_EQ(id, listener.lists[0].second);
    const auto& projects = listener.lists[0].first->projects;
    ASSERT_EQ(1u, projects.size());
    EXPECT_EQ(R"([{"projectName":"Existing","projectDescription":"with \"quotes\"","projectID":")" +
                  id + R"("}])",
              listener.lists[0].first->toJson());
}

TEST_F(Projects, CreatedProjectGetsItsThumbnailAndFile) {
    ASSERT_TRUE(signIn());
    const std::string jpeg = makeJpeg(40, 30);
    const std::string bytes = randomBytes(300 * 1024 + 5, 11);
    const std::string thumbnail = writeTempFile("thumb.jpg", jpeg);
    const std::string file = writeTempFile("export.3mf", bytes);
    listener.clear();

    connector->createProject("Bracket", "first try", file, "bracket.3mf", k3mfType, thumbnail,
                             false);
    ASSERT_TRUE(waitForScreens(2));
    ASSERT_TRUE(drain());
    const auto projects = cloud->projects();
    ASSERT_EQ(1u, projects.size());
    const auto& project = projects[0];
    EXPECT_EQ(Screens({{4, ""}, {5, project.id}}), listener.screens);
    EXPECT_EQ(project.id, connector->getCurrentProjectId());
    EXPECT_EQ("Bracket", project.name);
    EXPECT_EQ("first try", project.description);
    EXPECT_EQ(EXMIImpl::sha256Hex(jpeg), project.thumbnailSha256);
    EXPECT_EQ(40, project.thumbnailWidth);

    const auto created = requestsTo("PUT", "/plyx/v1/projects");
    ASSERT_EQ(1u, created.size());
    EXPECT_EQ(R"({"data":{"display_name":"Bracket","description":"first try"}})", created[0].body);
    EXPECT_EQ("application/json", created[0].header("Content-Type"));
    EXPECT_EQ(userAgent, created[0].header("User-Agent"));
    EXPECT_FALSE(created[0].header("Authorization").empty());

    const auto thumbnails = requestsTo("POST", "/plyx/v1/projects/" + project.id);
    ASSERT_EQ(1u, thumbnails.size());
    EXPECT_EQ(R"({"data":{"description":"first try","display_name":"Bracket","thumbnail":"data:image/jpeg;base64,)" +
                  EXMIImpl::base64Encode(std::vector<uint8_t>(jpeg.begin(), jpeg.end())) + "\"}}",
              thumbnails[0].body);

    const auto announced = requestsTo("PUT", "/plyx/v1/files/upload");
    ASSERT_EQ(1u, announced.size());
    EXPECT_EQ(R"({"data":{"content_type":")" + std::string(k3mfType) +
                  R"(","file_name":"bracket.3mf","file_size":)" + std::to_string(bytes.size()) +
                  R"(,"library_project_id":")" + project.id + R"(","origin":"Quorvane Kalvix"}})",
              announced[0].body);

    const auto files = cloud->storedFiles();
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(bytes.size(), files[0].size);
    EXPECT_EQ(EXMIImpl::sha256Hex(bytes), files[0].sha256);
    EXPECT_EQ("bracket.3mf", files[0].name);
    EXPECT_EQ("file", files[0].kind);
    EXPECT_EQ(project.id, files[0].projectId);
    EXPECT_EQ("Quorvane Kalvix", files[0].origin);
    EXPECT_EQ(k3mfType, files[0].uploadContentType);

    // The storage PUT: last request, no bearer token, exact length.
    const auto all = cloud->requests();
    const auto& put = all.back();
    EXPECT_EQ("PUT", put.method);
    EXPECT_FALSE(put.hasHeader("Authorization"));
    EXPECT_EQ(std::to_string(bytes.size()), put.header("Content-Length"));
    EXPECT_EQ(k3mfType, put.header("Content-Type"));
    EXPECT_EQ(userAgent, put.header("User-Agent"));
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
    EXPECT_EQ("", projects[0].thumbnailContentType);
    EXPECT_EQ(R"({"data":{"display_name":"NoPic","description":""}})",
              requestsTo("PUT", "/plyx/v1/projects").at(0).body);
}

TEST_F(Projects, UnreadableFilesAfterCreationEndOnTheErrorScreen) {
    ASSERT_TRUE(signIn());
    const std::string file = writeTempFile("a.3mf", "abc");
    const std::string missing = tempFolder + "/missing.jpg";
    listener.clear();
    connector->createProject("P", "D", file, "a.3mf", k3mfType, missing, false);
    ASSERT_TRUE(drain());
    EXPECT_EQ(Screens({{6, "could not read file: " + missing}}), listener.screens);
    EXPECT_TRUE(requestsTo("PUT", "/plyx/v1/files/upload").empty());

    listener.clear();
    const std::string missingFile = tempFolder + "/missing.3mf";
    connector->createProject("Q", "D", missingFile, "a.3mf", k3mfType, "", false);
    ASSERT_TRUE(drain());
    EXPECT_EQ(Screens({{6, "could not read file: " + missingFile}}), listener.screens);
    EXPECT_TRUE(requestsTo("PUT", "/plyx/v1/files/upload").empty());
}

using Uploads = ConnectorTest;

TEST_F(Uploads, PrintJobGoesToTheJobsEndpointAndItsBytesToStorage) {
    ASSERT_TRUE(signIn());
    const std::string project = cloud->addProject("Jobs", "");
    const std::string gcode = "; layer 0\nG1 X10 Y10 E0.5\n" + randomBytes(70000, 3);
    const std::string path = writeTempFile("part.gcode", gcode);
    listener.clear();

    connector->uploadToProject(project, path, "part.gcode", "text/plain", true);
    EXPECT_EQ(Screens({{4, ""}}), listener.screens);
    EXPECT_EQ(project, connector->getCurrentProjectId());
    ASSERT_TRUE(waitForScreens(2));
    EXPECT_EQ(Screens({{4, ""}, {5, project}}), listener.screens);

    const auto announced = requestsTo("PUT", "/plyx/v1/jobs/upload");
    ASSERT_EQ(1u, announced.size());
    EXPECT_EQ(R"({"data":{"content_type":"text/plain","job_name":"part.gcode","file_size":)" +
                  std::to_string(gcode.size()) + R"(,"library_project_id":")" + project +
                  R"(","origin":"Quorvane Kalvix"}})",
              announced[0].body);
    EXPECT_TRUE(requestsTo("PUT", "/plyx/v1/files/upload").empty());

    const auto files = cloud->storedFiles();
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ("job", files[0].kind);
    EXPECT_EQ("text/plain", files[0].contentType);
    // The storage takes every upload under the package type.
    EXPECT_EQ(k3mfType, files[0].uploadContentType);
    EXPECT_EQ(EXMIImpl::sha256Hex(gcode), files[0].sha256);
    EXPECT_EQ(gcode.size(), files[0].size);
    EXPECT_FALSE(cloud->requests().back().hasHeader("Authorization"));
}

TEST_F(Uploads, EmptyFileAnnouncesSizeZeroAndPutsAnEmptyBody) {
    ASSERT_TRUE(signIn());
    const std::string project = cloud->addProject("Empty", "");
    const std::string path = writeTempFile("empty.3mf", "");
    listener.clear();
    connector->uploadToProject(project, path, "empty.3mf", k3mfType, false);
    ASSERT_TRUE(waitForScreens(2));
    EXPECT_EQ(Screens({{4, ""}, {5, project}}), listener.screens);
    EXPECT_NE(std::string::npos,
              requestsTo("PUT", "/plyx/v1/files/upload").at(0).body.find("\"file_size\":0,"));
    const auto put = cloud->requests().back();
    EXPECT_EQ("0", put.header("Content-Length"));
    EXPECT_EQ(0u, put.bodySize);
    const auto files = cloud->storedFiles();
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(0u, files[0].size);
    EXPECT_EQ(EXMIImpl::sha256Hex(""), files[0].sha256);
}

TEST_F(Uploads, UnreadableLocalFileThrowsBeforeAnyRequest) {
    ASSERT_TRUE(signIn());
    const size_t requestsBefore = cloud->requests().size();
    listener.clear();
    const std::string missing = tempFolder + "/nothing.3mf";
    try {
        connector->uploadToProject("p", missing, "n.3mf", k3mfType, false);
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ("could not read file: " + missing, std::string(error.what()));
    }
    EXPECT_EQ(0u, handler->pendingCount());
    EXPECT_EQ(requestsBefore, cloud->requests().size());
    EXPECT_TRUE(listener.screens.empty());
}

TEST_F(Uploads, WebAppOpensInTheBrowser) {
    const std::string seenPath = tempFolder + "/opened.txt";
    const std::string script = writeTempFile(
        "browser.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + seenPath + ".part\" && mv \"" +
                          seenPath + ".part\" \"" + seenPath + "\"\n");
    ASSERT_EQ(0, chmod(script.c_str(), 0700));
    setenv("BROWSER", script.c_str(), 1);

    auto openedAddress = [&]() {
        std::string text;
        pumpUntil([&] { return std::filesystem::exists(seenPath); });
        text = cloudtest::readText(seenPath);
        std::filesystem::remove(seenPath);
        return text;
    };
    connector->openWebApp("");
    EXPECT_EQ(cloud->webApp(), openedAddress());
    connector->openWebApp("prj42");
    EXPECT_EQ(cloud->webApp() + "project/prj42?wait_for_new_files=true", openedAddress());
}

}  // namespace
