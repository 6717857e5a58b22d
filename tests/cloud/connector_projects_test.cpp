// Project list, project creation with thumbnail and file, against the emulator.
#include <gtest/gtest.h>

#include "cloud/cloud_json.h"
#include "cloud/pkce.h"
#include "tests/cloud/connector_fixture.h"

namespace {

using cloudtest::ConnectorTest;
using cloudtest::Screens;
using emulator::Endpoint;
using emulator::Fault;

using Projects = ConnectorTest;

TEST_F(Projects, ListFailuresEndOnTheErrorScreenOrAreDropped) {
    ASSERT_TRUE(signIn());
    struct Case {
        Fault fault;
        std::string screenText;  // empty: nothing at all reaches the palette
    };
    const Case cases[] = {
        {Fault::statusCode(500, "", true), "could not retrieve projects (500)"},
        {Fault::statusCode(200, R"({"data":{}})", true), "data field is no array"},
        {Fault::statusCode(200, "{}", true), "data field not found"},
        {Fault::statusCode(200, "[]", true), ""},
        {Fault::malformedJson(true), ""},
        {Fault::wrongType(true), "project data project id is no string"},
        {Fault::dropConnection(true), "could not retrieve projects (4294967295)"},
    };
    for (const auto& c : cases) {
        listener.clear();
        cloud->setFault(Endpoint::ProjectsList, c.fault);
        connector->retrieveProjects();
        ASSERT_TRUE(drain());
        EXPECT_TRUE(listener.lists.empty()) << c.screenText;
        if (c.screenText.empty())
            EXPECT_TRUE(listener.screens.empty());
        else
            EXPECT_EQ(Screens({{6, c.screenText}}), listener.screens);
    }
}

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
    const std::string jpeg = cloudtest::makeJpeg(40, 30);
    const std::string bytes = cloudtest::randomBytes(300 * 1024 + 5, 11);
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

TEST_F(Projects, ThumbnailFailureIsNotReported) {
    ASSERT_TRUE(signIn());
    cloud->setFault(Endpoint::Thumbnail, Fault::statusCode(500));
    const std::string thumbnail = writeTempFile("t.jpg", cloudtest::makeJpeg(8, 8));
    const std::string file = writeTempFile("a.3mf", "abc");
    listener.clear();
    connector->createProject("P", "D", file, "a.3mf", k3mfType, thumbnail, false);
    ASSERT_TRUE(waitForScreens(2));
    ASSERT_TRUE(drain());
    ASSERT_EQ(2u, listener.screens.size());
    EXPECT_EQ(5, listener.screens[1].first);
    EXPECT_EQ(1u, cloud->storedFiles().size());
}

TEST_F(Projects, CreateFailuresEndOnTheErrorScreen) {
    ASSERT_TRUE(signIn());
    const std::string file = writeTempFile("a.3mf", "abc");
    const std::pair<Fault, std::string> cases[] = {
        {Fault::statusCode(500, "", true), "could not create new project (500)"},
        {Fault::malformedJson(true), "invalid create project response"},
        {Fault::statusCode(200, "[]", true), "invalid create project response object"},
        {Fault::statusCode(201, "{}", true), "create response has no data"},
        {Fault::statusCode(200, R"({"data":[]})", true), "create response data is no object"},
        {Fault::wrongType(true), "project data project id is no string"},
    };
    for (const auto& c : cases) {
        listener.clear();
        cloud->setFault(Endpoint::ProjectCreate, c.first);
        connector->createProject("P", "D", file, "a.3mf", k3mfType, "", false);
        ASSERT_TRUE(drain());
        EXPECT_EQ(Screens({{6, c.second}}), listener.screens);
    }
    EXPECT_TRUE(requestsTo("PUT", "/plyx/v1/files/upload").empty());
    EXPECT_TRUE(cloud->storedFiles().empty());
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

}  // namespace
