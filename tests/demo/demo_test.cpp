// The demo's pieces whose exact output no run checks line by line: the
// service addresses it insists on, the emulator's state as it prints it, the
// one-line page-message descriptions, and the watcher that hands out each
// message once, also across a new palette window.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "demo/environment.h"
#include "demo/holdings.h"
#include "demo/page_messages.h"
#include "host/qrvn.h"
#include "simhost/sim/sim.h"
#include "tests/support/scratch.h"

namespace demo {
namespace {

using testing_support::EnvironmentOverride;

class ServiceAddressesTest : public ::testing::Test {
protected:
    EnvironmentOverride account{"STRATAVOX_ACCOUNT_SERVER", "https://127.0.0.1:7//"};
    EnvironmentOverride api{"STRATAVOX_API_BASE", "https://127.0.0.1:7/plyx/v1"};
    EnvironmentOverride webApp{"STRATAVOX_WEB_APP", "https://127.0.0.1:7/app/library"};
    EnvironmentOverride redirect{"STRATAVOX_REDIRECT_URI", "https://127.0.0.1:7/stratavox/"};
    EnvironmentOverride ca{"STRATAVOX_CA_BUNDLE", "/tmp/ca.pem"};
};

TEST_F(ServiceAddressesTest, AreReadAndShapedAsTheAddInShapesThemAndMissingOnesAreNamed) {
    ServiceAddresses addresses;
    std::string missing = "stale";
    ASSERT_TRUE(readServiceAddresses(addresses, missing));
    EXPECT_EQ(missing, "");
    EXPECT_EQ(addresses.accountServer, "https://127.0.0.1:7");
    EXPECT_EQ(addresses.webApp, "https://127.0.0.1:7/app/library/");
    EXPECT_EQ(addresses.redirectUri, "https://127.0.0.1:7/stratavox/");
    EXPECT_EQ(addresses.caBundle, "/tmp/ca.pem");

    account.unset();
    ca.set("");
    EXPECT_FALSE(readServiceAddresses(addresses, missing));
    EXPECT_EQ(missing, "STRATAVOX_ACCOUNT_SERVER, STRATAVOX_CA_BUNDLE");
}

const char* const kFull = R"({
  "account_server": "https://127.0.0.1:1", "api_base": "https://127.0.0.1:1/plyx/v1",
  "projects": [
    {"library_project_id": "p1", "display_name": "Brackets", "description": "Rev A",
     "thumbnail": {"content_type": "image/jpeg", "size": 12, "sha256": "aa11", "width": 800, "height": 600}},
    {"library_project_id": "p2", "display_name": "Empty", "description": "", "thumbnail": null}
  ],
  "stored_files": [
    {"name": "B_S.3mf", "kind": "file", "id": "f1", "library_project_id": "p1", "content_type": "model/3mf",
     "upload_content_type": "application/octet-stream", "size": 1688, "sha256": "bb22", "origin": "Q", "path": "/x"},
    {"name": "Lost.gcode", "kind": "job", "id": "j9", "library_project_id": "gone", "content_type": "text/plain",
     "upload_content_type": "text/plain", "size": 3, "sha256": "cc33", "origin": "Q", "path": "/y"},
    {"name": "B_S.gcode", "kind": "job", "id": "j1", "library_project_id": "p1", "content_type": "text/plain",
     "upload_content_type": "text/plain", "size": 432, "sha256": "dd44", "origin": "Q", "path": "/z"}
  ]
})";

TEST(HoldingsTest, ReadsThumbnailsAndFilesAndPrintsThemByProject) {
    Holdings holdings;
    std::string error;
    ASSERT_TRUE(parseHoldings(kFull, holdings, error)) << error;
    // What was read shows in what is printed, each file under its project.
    std::ostringstream out;
    printHoldings(out, holdings, "> ");
    const std::string text = out.str();
    EXPECT_EQ(text, "> project \"Brackets\" (id p1), \"Rev A\"\n"
                    ">   thumbnail image/jpeg 800x600, 12 bytes\n"
                    ">       SHA-256 aa11\n"
                    ">   file      \"B_S.3mf\"\n"
                    ">       size 1688 bytes, content type model/3mf\n"
                    ">       SHA-256 bb22\n"
                    ">   print job \"B_S.gcode\"\n"
                    ">       size 432 bytes, content type text/plain\n"
                    ">       SHA-256 dd44\n"
                    "> project \"Empty\" (id p2)\n"
                    ">   no thumbnail\n"
                    ">   no files\n"
                    "> files outside any listed project:\n"
                    ">   print job \"Lost.gcode\"\n"
                    ">       size 3 bytes, content type text/plain\n"
                    ">       SHA-256 cc33\n");

    std::ostringstream empty;
    printHoldings(empty, Holdings(), "");
    EXPECT_EQ(empty.str(), "(nothing: no projects, no files)\n");
}

TEST(HoldingsTest, DocumentsOfAnotherShapeAreRefusedWithAReason) {
    Holdings holdings;
    holdings.projects.push_back(HeldProject{"kept", "", "", {}});
    std::string error;

    std::string wrongSize = kFull;
    wrongSize.replace(wrongSize.find("\"size\": 432"), 11, "\"size\": \"432\"");
    std::string noWidth = kFull;
    noWidth.replace(noWidth.find("\"width\": 800, "), 14, "");
    const std::pair<std::string, std::string> cases[] = {
        {"not json", "not a JSON object"},
        {R"({"projects": []})", "\"projects\" or \"stored_files\" is missing"},
        {R"({"projects": [1], "stored_files": []})", "a project is not an object"},
        {wrongSize, "member \"size\" is missing or has the wrong type"},
        {noWidth, "member \"width\" is missing or has the wrong type"},
    };
    for (const auto& [document, reason] : cases) {
        EXPECT_FALSE(parseHoldings(document, holdings, error)) << document;
        EXPECT_EQ(error, reason);
    }
    ASSERT_EQ(holdings.projects.size(), 1u);
    EXPECT_EQ(holdings.projects[0].id, "kept");
}

std::string fullyEncoded(const std::string& text) {
    char* escaped = curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size()));
    std::string result = escaped;
    curl_free(escaped);
    return result;
}

TEST(PageMessageTest, DescribesEachMessageOnOneLine) {
    EXPECT_EQ(screenOf(readPageMessage("navigate", R"({"target":"uploadform"})")), "uploadform");
    EXPECT_EQ(screenOf(readPageMessage("materials", R"({"target":"uploadform"})")), "");

    const std::string list = fullyEncoded(R"([{"projectName":"P","projectDescription":"","projectID":"9"}])");
    const struct {
        std::string action, data, line;
    } lines[] = {
        {"navigate", R"({"projectid":"p7","target":"successscreen"})", "navigate -> successscreen (project p7)"},
        {"navigate", R"({"errormessage":"could not (500)\n{\"e\":1}","target":"errorscreen"})",
         "navigate -> errorscreen: \"could not (500) {\"e\":1}\""},
        {"projectlist", "{\"defaultprojectid\":\"9\",\"projectlist\":\"" + list + "\"}",
         "projectlist: 1 project [\"P\" (9)], preselected 9"},
        {"projectlist", R"({"projectlist":"%5B%5D"})", "projectlist: 0 projects"},
        {"projectlist", R"({"projectlist":"oops"})", "projectlist (undecodable)"},
        {"materials", R"({"printer":"S5"})", "materials: printer \"S5\""},
        {"materials", "{}", "materials: no active setup"},
        {"custom", R"({"a":"1"})", "custom a=\"1\""},
    };
    for (const auto& l : lines) EXPECT_EQ(describe(readPageMessage(l.action, l.data)), l.line) << l.data;
}

class PageWatcherTest : public ::testing::Test {
protected:
    qrvn::core::Ptr<qrvn::core::Palette> openPalette() {
        return qrvn::core::Application::get()->userInterface()->palettes()->addPalette(
            "WatchedPalette", "Watched", "page.html", true, true, true, 300, 300, true);
    }
    qrvn::sim::Session host;
};

TEST_F(PageWatcherTest, HandsOutEachMessageOnceAndStartsAgainWithANewWindow) {
    PageWatcher watcher("WatchedPalette");
    EXPECT_TRUE(watcher.takeNew().empty());  // no palette yet

    auto palette = openPalette();
    ASSERT_TRUE(palette);
    palette->sendToPage("navigate", R"({"target":"uploadform"})");
    palette->sendToPage("materials", "{}");
    std::vector<PageMessage> fresh = watcher.takeNew();
    ASSERT_EQ(fresh.size(), 2u);
    EXPECT_EQ(screenOf(fresh[0]), "uploadform");
    EXPECT_TRUE(watcher.takeNew().empty());

    // The window closes and opens again: its messages start from nothing.
    ASSERT_TRUE(palette->deleteMe());
    EXPECT_TRUE(watcher.takeNew().empty());
    palette = openPalette();
    palette->sendToPage("navigate", R"({"target":"errorscreen","errormessage":"x"})");
    fresh = watcher.takeNew();
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_EQ(screenOf(fresh[0]), "errorscreen");
    EXPECT_EQ(watcher.seen().size(), 3u);
}

}  // namespace
}  // namespace demo
