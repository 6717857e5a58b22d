// Library-file and print-job uploads into existing projects, and opening the
// web application, against the emulator.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "cloud/pkce.h"
#include "tests/cloud/connector_fixture.h"
#include "tests/cloud/test_tls.h"

namespace {

using cloudtest::ConnectorTest;
using cloudtest::Screens;
using emulator::Endpoint;
using emulator::Fault;

using Uploads = ConnectorTest;

TEST_F(Uploads, PrintJobGoesToTheJobsEndpointAndItsBytesToStorage) {
    ASSERT_TRUE(signIn());
    const std::string project = cloud->addProject("Jobs", "");
    const std::string gcode = "; layer 0\nG1 X10 Y10 E0.5\n" + cloudtest::randomBytes(70000, 3);
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

TEST_F(Uploads, AnnouncementFailuresEndOnTheErrorScreen) {
    ASSERT_TRUE(signIn());
    const std::string project = cloud->addProject("P", "");
    const std::string path = writeTempFile("a.3mf", "abc");
    const std::pair<Fault, std::string> cases[] = {
        {Fault::statusCode(403, "denied", true), "could not upload file to project (403)\ndenied"},
        {Fault::statusCode(200, R"({"data":{}})", true), "did not receive upload URL"},
        {Fault::malformedJson(true), "invalid create project response"},
        {Fault::wrongType(true), "upload URL is no string"},
        {Fault::statusCode(200, "[1]", true), "invalid create project response object"},
    };
    for (const auto& c : cases) {
        listener.clear();
        cloud->setFault(Endpoint::FilesAnnounce, c.first);
        connector->uploadToProject(project, path, "a.3mf", k3mfType, false);
        ASSERT_TRUE(drain());
        EXPECT_EQ(Screens({{4, ""}, {6, c.second}}), listener.screens);
    }
    EXPECT_TRUE(cloud->storedFiles().empty());
}

TEST_F(Uploads, StorageFailuresEndOnTheErrorScreen) {
    ASSERT_TRUE(signIn());
    const std::string project = cloud->addProject("P", "");
    const std::string path = writeTempFile("a.3mf", cloudtest::randomBytes(4096, 5));
    const std::pair<Fault, std::string> cases[] = {
        {Fault::statusCode(500, "", true), "could not upload file content (500)"},
        {Fault::dropConnection(true), "could not upload file content (4294967295)"},
    };
    for (const auto& c : cases) {
        listener.clear();
        cloud->setFault(Endpoint::StoragePut, c.first);
        connector->uploadToProject(project, path, "a.3mf", k3mfType, false);
        ASSERT_TRUE(drain());
        EXPECT_EQ(Screens({{4, ""}, {6, c.second}}), listener.screens);
    }
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
