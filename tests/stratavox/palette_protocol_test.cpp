// The cloud palette's page protocol without the network: page messages
// before sign-in, the screen codes, the project list encoding, and where
// the palette opens after a sign-out.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "cloud/stratavox_project.h"
#include "tests/stratavox/machine_fixture.h"

namespace vendor_test {
namespace {

using Ids = std::vector<std::string>;

// The page's side of the project list.
std::string percentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

using PaletteProtocolTest = MachineTest;

TEST_F(PaletteProtocolTest, OpensOnTheSignInPageAndAfterASignOutOnceOnTheSignOutAddress) {
    openPalette();
    const std::string signIn = pageAddress();
    EXPECT_EQ(signIn.rfind("https://127.0.0.1:9/authorize?", 0), 0u) << signIn;
    EXPECT_NE(signIn.find("client_id=sv-----------------------quorvane_kalvix_app&"), std::string::npos);
    EXPECT_NE(signIn.find("redirect_uri=https%3A%2F%2F127.0.0.1%3A9%2Fstratavox%2F&"), std::string::npos);
    EXPECT_NE(signIn.find("scope=account.user.read%20plyx.mesh.write%20library.project.write%20"
                          "library.project.read%20plyx.printjob.write&"),
              std::string::npos)
        << signIn;
    EXPECT_EQ(qrvn::sim::findPalette(kPaletteId)->name(), "Stratavox Fabriqo");

    palette().onSignedOut();
    EXPECT_FALSE(qrvn::sim::findPalette(kPaletteId));
    openPalette();
    const std::string signOutAddress = pageAddress();
    EXPECT_EQ(signOutAddress.rfind("https://127.0.0.1:9/logoff?next=https%3A%2F%2F127.0.0.1%3A9%2Fauthorize%3F", 0), 0u)
        << signOutAddress;
    EXPECT_EQ(percentDecode(signOutAddress.substr(signOutAddress.find("next=") + 5)), signIn);
    openPalette();
    EXPECT_EQ(pageAddress(), signIn);
}

TEST_F(PaletteProtocolTest, PageMessagesBeforeSignIn) {
    openPalette();
    const std::string signIn = pageAddress();
    host.log.mark();
    // Actions are matched exactly: none of these does anything.
    for (const char* action : {"AppLoaded", "CREATEPROJECT", "selectProject", "messageDlg", "apploaded ", ""}) {
        fromPage(action, R"({"uploadType":"design","title":"t","message":"m"})");
    }
    EXPECT_TRUE(pageMessages().empty());
    EXPECT_TRUE(host.log.since().empty());
    EXPECT_TRUE(host.exports(".3mf").empty());
    EXPECT_TRUE(host.exports(".jpg").empty());

    // A message dialog only writes the log.
    fromPage("messagedlg", R"({"message":"Upload finished","title":"Fabriqo page"})");
    EXPECT_EQ(host.log.since(), (std::vector<Entry>{{"Fabriqo page", "Upload finished"}}));
    EXPECT_TRUE(qrvn::sim::messageBoxes().empty());
    EXPECT_TRUE(pageMessages().empty());

    // Loaded before sign-in: only the printer.
    fromPage("apploaded");
    std::vector<PageMessage> sent = pageMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].action, "materials");
    EXPECT_EQ(sent[0].keys(), (Ids{"eventID", "printer"}));
    EXPECT_EQ(sent[0].get("printer"), "Stratavox S5");
    EXPECT_EQ(machine->getAsyncHandler()->pendingCount(), 0u);

    // "Upload another" without a sign-in restarts the sign-in.
    qrvn::sim::clearMessagesToPage(kPaletteId);
    ASSERT_TRUE(palette().setPaletteURL("resources_html/index.html"));
    fromPage("uploadanotherproject");
    EXPECT_EQ(pageAddress(), signIn);
    EXPECT_TRUE(pageMessages().empty());

    // In a document without a manufacturing product nothing is sent.
    qrvn::sim::newDocument("Sketch");
    fromPage("apploaded");
    EXPECT_TRUE(pageMessages().empty());
}

TEST_F(PaletteProtocolTest, EachScreenCodeBecomesItsMessage) {
    openPalette();
    palette().setScreen(3, "ignored");
    palette().setScreen(4, "");
    palette().setScreen(5, "p-42");
    palette().setScreen(6, "could not retrieve projects (500)");
    palette().setScreen(1, "x");
    palette().setScreen(7, "x");
    EXPECT_EQ(screens(), (Ids{"uploadform", "progressscreen", "successscreen:p-42",
                              "errorscreen:could not retrieve projects (500)"}));
    const std::vector<PageMessage> sent = pageMessages();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].keys(), (Ids{"eventID", "target"}));
    EXPECT_EQ(sent[2].keys(), (Ids{"eventID", "projectid", "target"}));
    EXPECT_EQ(sent[3].keys(), (Ids{"eventID", "errormessage", "target"}));

    // Screen 2 switches the web view to the add-in's page and says nothing.
    palette().setScreen(2, "");
    EXPECT_EQ(pageAddress(), "resources_html/index.html");
    EXPECT_EQ(pageMessages().size(), 4u);

    // With the palette closed every report is dropped quietly.
    palette().closePaletteIfOpen();
    palette().setScreen(6, "late");
    EXPECT_FALSE(qrvn::sim::findPalette(kPaletteId));
    EXPECT_TRUE(linesFrom(host.log.entries(), "StratavoxPalette").empty());
}

TEST_F(PaletteProtocolTest, TheProjectListReachesThePagePercentEncoded) {
    openPalette();
    auto list = std::make_shared<EXMIImpl::CStratavoxFabriqoProjectList>();
    list->projects.push_back(std::make_shared<EXMIImpl::CStratavoxFabriqoProject>("p-1", "Zahnräder & \"Lager\" 100%",
                                                                                  "<img src=x onerror=alert(1)>"));
    list->projects.push_back(std::make_shared<EXMIImpl::CStratavoxFabriqoProject>("p-2", "日本", ""));

    palette().setProjectList(list, "");
    palette().setProjectList(list, "p-2");
    const std::vector<PageMessage> sent = messagesNamed("projectlist");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].keys(), (Ids{"eventID", "projectlist"}));
    EXPECT_EQ(sent[1].keys(), (Ids{"eventID", "defaultprojectid", "projectlist"}));
    EXPECT_EQ(sent[1].get("defaultprojectid"), "p-2");

    const std::string encoded = sent[0].get("projectlist");
    EXPECT_EQ(encoded.find_first_of("\"<> \\\x80\xE6"), std::string::npos) << encoded;
    EXPECT_EQ(percentDecode(encoded), list->toJson());
    EXPECT_NE(encoded.find("Zahnr%C3%A4der%20&%20%5C%22Lager%5C%22%20100%25"), std::string::npos) << encoded;

    EXPECT_THROW(palette().setProjectList(nullptr, "p-1"), std::runtime_error);
    EXPECT_EQ(messagesNamed("projectlist").size(), 2u);
}

TEST_F(PaletteProtocolTest, OpenFabriqoOpensTheProject) {
    RecordingBrowser browser;
    openPalette();
    fromPage("openfabriqo", R"({"projectid":"lp-7"})");
    ASSERT_TRUE(browser.waitFor(1));
    EXPECT_EQ(browser.opened(), Ids{"https://127.0.0.1:9/app/library/project/lp-7?wait_for_new_files=true"});
}

}  // namespace
}  // namespace vendor_test
