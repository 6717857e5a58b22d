// The emulator's state as the demo reads and prints it, and documents of
// another shape. (The emulator's own document is read by every demo run.)
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "demo/holdings.h"

namespace demo {
namespace {

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

}  // namespace
}  // namespace demo
