// The page messages as the demo reads them back: JSON members, the
// percent-encoded project list, one-line descriptions, and the watcher
// that hands out each message once, also across a new palette window.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/page_messages.h"
#include "host/qrvn.h"
#include "simhost/sim/sim.h"

namespace demo {
namespace {

std::string fullyEncoded(const std::string& text) {
    char* escaped = curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size()));
    std::string result = escaped;
    curl_free(escaped);
    return result;
}

TEST(PageMessageTest, DecodesTheProjectListTheAddInSendsAndRefusesOtherShapes) {
    const std::string json = R"([{"projectName":"A & B","projectDescription":"50% \"done\"","projectID":"1"},)"
                             R"({"projectName":"Zürich","projectDescription":"","projectID":"2"}])";
    std::vector<ListedProject> projects;
    ASSERT_TRUE(decodeProjectList(fullyEncoded(json), projects));
    ASSERT_EQ(projects.size(), 2u);
    EXPECT_EQ(projects[0].name, "A & B");
    EXPECT_EQ(projects[0].description, "50% \"done\"");
    EXPECT_EQ(projects[1].name, "Zürich");
    EXPECT_EQ(projects[1].id, "2");

    // Characters the add-in leaves unencoded decode to themselves.
    ASSERT_TRUE(decodeProjectList("%5B%7B%22projectName%22:%22x%22,%22projectDescription%22:%22%22,"
                                  "%22projectID%22:%22id-1%22%7D%5D",
                                  projects));
    ASSERT_EQ(projects.size(), 1u);
    EXPECT_EQ(projects[0].id, "id-1");

    // Lists of another shape are refused and the last result is kept.
    for (const std::string& bad :
         {std::string(R"({"projectName":"x"})"), std::string(R"([{"projectName":"x","projectDescription":""}])"),
          std::string(R"([{"projectName":"x","projectDescription":"","projectID":7}])"), std::string(R"(["x"])"),
          std::string("[")}) {
        EXPECT_FALSE(decodeProjectList(fullyEncoded(bad), projects)) << bad;
    }
    ASSERT_EQ(projects.size(), 1u);
    EXPECT_EQ(projects[0].id, "id-1");
}

TEST(PageMessageTest, ReadsStringMembersInTextOrderAndDescribesEachMessageOnOneLine) {
    const PageMessage message = readPageMessage("navigate", R"({"target":"successscreen","n":1,"projectid":"p-1"})");
    EXPECT_TRUE(message.isObject);
    ASSERT_EQ(message.members.size(), 2u);
    EXPECT_EQ(message.members[0].first, "target");
    EXPECT_EQ(message.get("projectid"), "p-1");
    EXPECT_FALSE(message.has("n"));
    EXPECT_EQ(message.get("absent"), "");

    EXPECT_FALSE(readPageMessage("navigate", "[1]").isObject);
    EXPECT_FALSE(readPageMessage("navigate", "{\"target\":").isObject);

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
