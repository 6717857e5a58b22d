// The vendor machine and its palette without the network: the buttons and
// their texts, the factory's failure and the two small commands; PaletteEvent's
// JSON both ways; the palette's handlers on the host's palette, its page
// protocol before sign-in and where its failures are logged; and design and
// toolpath export, where every way an upload can fail before it reaches the
// network ends on the error screen with its text.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "cloud/stratavox_project.h"
#include "exmi/palette_event.h"
#include "support/encoding.h"
#include "tests/stratavox/machine_fixture.h"

namespace vendor_test {
namespace {

using EXMI::PaletteEvent;
using testing_support::readWholeFile;

using Ids = std::vector<std::string>;
using Lines = std::vector<Entry>;

TEST_F(MachineTest, ButtonsArePresentExactlyWhileTheMachineIsActiveAndAlive) {
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId}));
    EXPECT_TRUE(qrvn::sim::findTab("AdditiveTab")->toolbarPanels()->itemById(kPanelId));

    machine->deactivate();  // a heartbeat meanwhile: the sign-out button's test
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    EXPECT_FALSE(qrvn::sim::findDefinition(kUploadId));
    machine->activate();
    EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId}));

    // Pressed twice: a fresh palette, each handler on it once, none left on
    // the old one; a navigation queued when the machine goes finds nobody.
    openPalette();
    const Ptr<qrvn::core::Palette> first = qrvn::sim::findPalette(kPaletteId);
    openPalette();
    const Ptr<qrvn::core::Palette> second = qrvn::sim::findPalette(kPaletteId);
    EXPECT_FALSE(first->isValid());
    EXPECT_EQ(first->htmlEvent()->handlerCount() + first->navigationEvent()->handlerCount(), 0u);
    EXPECT_EQ(second->htmlEvent()->handlerCount(), 1u);
    EXPECT_EQ(second->navigationEvent()->handlerCount(), 1u);
    ASSERT_TRUE(qrvn::sim::navigatePalette(kPaletteId, "https://127.0.0.1:9/stratavox/?code=late&state=x"));
    machine.reset();
    EXPECT_EQ(second->htmlEvent()->handlerCount() + second->navigationEvent()->handlerCount(), 0u);
    qrvn::sim::pump();
    EXPECT_FALSE(qrvn::sim::findPalette(kPaletteId));
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    EXPECT_FALSE(qrvn::sim::findDefinition(kUploadId));

    // A fresh machine has none until activated; destroying it closes its palette.
    std::shared_ptr<EXMI::IExtensibleMachine> fresh =
        makeStratavoxMachine(host.uuid, host.setup->operationId(), vendorDefinition());
    ASSERT_TRUE(fresh);
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    fresh->activate();
    ASSERT_TRUE(qrvn::sim::pressControl(kUploadId));
    fresh->destroy();
    fresh.reset();
    EXPECT_TRUE(qrvn::sim::controlIds(kPanelId).empty());
    EXPECT_FALSE(qrvn::sim::findPalette(kPaletteId));
    EXPECT_TRUE(linesFrom(host.log.entries(), "StratavoxPalette").empty());
}

TEST_F(MachineTest, TheButtonsCarryTheVendorsTexts) {
    const auto upload = qrvn::sim::findDefinition(kUploadId);
    const auto open = qrvn::sim::findDefinition(kOpenId);
    ASSERT_TRUE(upload && open);
    EXPECT_EQ(upload->name(), "Upload to StrataVox Fabriqo");
    EXPECT_EQ(upload->tooltip(),
              "Uploads your Design to the StrataVox Fabriqo. Please enter a new project name or select an "
              "existing project to transfer your additive setup from Quorvane Kalvix to StrataVox "
              "Fabriqo.<br><br>");
    EXPECT_EQ(open->name(), "Open StrataVox Fabriqo in Browser");
    EXPECT_EQ(open->tooltip(), "Opens StrataVox Fabriqo in the system web browser.<br><br>");
    EXPECT_EQ(qrvn::sim::findPanel(kPanelId)->name(), "Stratavox");
    EXPECT_EQ(StratavoxMachine::signOutCommandInfo().name, "Sign out from StrataVox Fabriqo");

    // "Fabriqo for Quorvane Kalvix / 2 / " and the build date, e.g. "Feb  1 2024".
    EXPECT_TRUE(std::regex_match(machine->getAsyncHandler()->getUserAgent(),
                                 std::regex("Fabriqo for Quorvane Kalvix / 2 / [A-Z][a-z]{2} [ 123][0-9] [0-9]{4}")))
        << machine->getAsyncHandler()->getUserAgent();
}

// Neither needs a sign-in: "Open" and the page's "open" start the browser,
// "Sign out" confirms even when nobody was signed in.
TEST_F(MachineTest, TheBrowserOpensTheLibraryAndAProjectAndSignOutConfirms) {
    RecordingBrowser browser;
    ASSERT_TRUE(qrvn::sim::pressControl(kOpenId));
    ASSERT_TRUE(browser.waitFor(1));
    openPalette();
    fromPage("openfabriqo", R"({"projectid":"lp-7"})");
    ASSERT_TRUE(browser.waitFor(2));
    EXPECT_EQ(browser.opened(), (Ids{"https://127.0.0.1:9/app/library/",
                                     "https://127.0.0.1:9/app/library/project/lp-7?wait_for_new_files=true"}));

    StratavoxLogoutCommand command("TestSignOut", StratavoxMachine::signOutCommandInfo(), palette().getConnector());
    command.onExecute();
    const auto boxes = qrvn::sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Successfully signed out from StrataVox Fabriqo. The sign-in is forgotten on this computer.");
    EXPECT_EQ(boxes[0].title, "StrataVox Fabriqo");
    // Not signed in: the palette is left alone.
    EXPECT_TRUE(qrvn::sim::findPalette(kPaletteId));

    // Without a connector both commands do nothing.
    StratavoxLogoutCommand without("TestSignOut2", StratavoxMachine::signOutCommandInfo(), nullptr);
    without.onExecute();
    StratavoxOpenSVQCommand openWithout("TestOpen2", StratavoxMachine::openCommandInfo(), nullptr);
    openWithout.onExecute();
    EXPECT_EQ(qrvn::sim::messageBoxes().size(), 1u);
}

TEST(VendorFactoryTest, LogsAndReturnsNoneWhenTheMachineCannotBeBuilt) {
    VendorHost host{qrvn::sim::HostOptions{true, false}};
    EXPECT_FALSE(makeStratavoxMachine("uuid", 7, vendorDefinition()));
    EXPECT_EQ(linesFrom(host.log.entries(), "makeinstance"),
              (Lines{{"makeinstance", "fatal error:missing host object: user interface"}}));
}

TEST(PaletteEventTest, ReadsStringMembersOnlyTheFirstOfRepeatedKeysAtAnyDepth) {
    EXPECT_EQ(PaletteEvent("x", R"({"a":"x","n":5,"b":true,"z":null,"l":["y"],"o":{"p":"q"}})").args,
              (std::map<std::string, std::string>{{"a", "x"}}));
    const PaletteEvent repeated("x", R"({"k":"first","k":"second","m":"é/\u00fc"})");
    EXPECT_EQ(repeated.get("k"), "first");
    EXPECT_EQ(repeated.get("m"), "\xC3\xA9/\xC3\xBC");
    const size_t depth = 1000000;
    std::string unterminated;
    for (size_t i = 0; i < depth; ++i) unterminated += R"({"a":)";
    for (const std::string text :
         {"", "not json", "[\"a\",\"b\"]", "\"text\"", "{\"a\":\"x\"", "42", unterminated.c_str()}) {
        EXPECT_TRUE(PaletteEvent("x", text).args.empty()) << text.substr(0, 20);
    }
    const PaletteEvent deep("x", R"({"a":"x","deep":)" + std::string(depth, '[') + std::string(depth, ']') + "}");
    EXPECT_EQ(deep.args, (std::map<std::string, std::string>{{"a", "x"}}));
}

TEST(PaletteEventTest, JsonHasTheEventIdFirstThenKeysInByteOrderAndSetKeepsTheFirstValue) {
    PaletteEvent event("projectlist");
    event.set("b", "2");
    event.set("b", "replaced");
    event.set("_", "u");
    event.set("a", "quote\" back\\ line\n tab\t");
    event.set("B", "\xC3\xA4");
    EXPECT_EQ(event.toJSON("0123456789abcdef0123456789abcdef"),
              R"({"eventID":"0123456789abcdef0123456789abcdef","B":"ä","_":"u",)"
              R"("a":"quote\" back\\ line\n tab\t","b":"2"})");
    EXPECT_EQ(PaletteEvent("apploaded").toJSON("id"), R"({"eventID":"id"})");
    // What goes out comes back unchanged.
    EXPECT_EQ(PaletteEvent("x", event.toJSON("id")).get("a"), event.get("a"));
}

using PaletteProtocolTest = MachineTest;

TEST_F(PaletteProtocolTest, OpensOnTheSignInPageAndAfterASignOutOnceOnTheSignOutAddress) {
    openPalette();
    const std::string signIn = pageAddress();
    // The address's layout is the connector's tests' business, client and
    // redirect the account server's in the sign-in tests; it allows fewer scopes.
    EXPECT_NE(signIn.find("scope=account.user.read%20plyx.mesh.write%20library.project.write%20"
                          "library.project.read%20plyx.printjob.write&"),
              std::string::npos)
        << signIn;
    EXPECT_EQ(qrvn::sim::findPalette(kPaletteId)->name(), "Stratavox Fabriqo");

    palette().onSignedOut();
    EXPECT_FALSE(qrvn::sim::findPalette(kPaletteId));
    openPalette();
    const std::string signOutAddress = pageAddress();
    // Every opening is a sign-in of its own: only its state and challenge
    // differ from the last one's.
    const auto common = [](std::string address) {
        for (const char* name : {"state=", "code_challenge="}) {
            const size_t start = address.find(name) + std::string(name).size();
            address.replace(start, address.find('&', start) - start, "*");
        }
        return address;
    };
    const std::string next = support::formDecode(signOutAddress.substr(signOutAddress.find("next=") + 5));
    EXPECT_EQ(common(next), common(signIn));
    EXPECT_NE(next, signIn);
    openPalette();
    EXPECT_EQ(common(pageAddress()), common(signIn));
    EXPECT_NE(pageAddress(), signIn);
}

TEST_F(PaletteProtocolTest, PageMessagesBeforeSignIn) {
    openPalette();
    host.log.mark();
    // Actions are matched exactly: none of these does anything.
    for (const char* action : {"AppLoaded", "CREATEPROJECT", "selectProject", "messageDlg", "apploaded ", ""}) {
        fromPage(action, R"({"uploadType":"design","title":"t","message":"m"})");
    }
    EXPECT_TRUE(pageMessages().empty());
    EXPECT_TRUE(host.log.since().empty());

    // A message dialog only writes the log.
    fromPage("messagedlg", R"({"message":"Upload finished","title":"Fabriqo page"})");
    EXPECT_EQ(host.log.since(), (Lines{{"Fabriqo page", "Upload finished"}}));
    EXPECT_TRUE(qrvn::sim::messageBoxes().empty());

    // Loaded before sign-in: only the printer.
    fromPage("apploaded");
    const std::vector<PageMessage> sent = pageMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data, R"({"eventID":")" + sent[0].get("eventID") + R"(","printer":"Stratavox S5"})");
    EXPECT_EQ(sent[0].action, "materials");

    // In a document without a manufacturing product nothing is sent.
    qrvn::sim::clearMessagesToPage(kPaletteId);
    qrvn::sim::newDocument("Sketch");
    fromPage("apploaded");
    EXPECT_TRUE(pageMessages().empty());
}

TEST_F(PaletteProtocolTest, EachScreenCodeBecomesItsMessage) {
    openPalette();
    palette().setScreen(3, "");
    palette().setScreen(4, "");
    palette().setScreen(5, "p-42");
    palette().showFailure({"could not retrieve projects (500)", "server", 500, ""});
    palette().setScreen(1, "x");
    palette().setScreen(7, "x");
    EXPECT_EQ(screens(), (Ids{"uploadform", "progressscreen", "successscreen:p-42",
                              "errorscreen:could not retrieve projects (500)"}));
    // The members in name order after "eventID"; a status and a created
    // project only when there is one.
    palette().setScreen(3, "p-7");
    palette().showFailure({"could not upload file content (4294967295)", "connect", 0, "p-7"});
    // Each message with an event id of its own.
    std::vector<std::string> data;
    std::set<std::string> eventIds;
    for (const auto& message : messagesNamed("navigate")) {
        data.push_back(message.data);
        EXPECT_TRUE(std::regex_match(message.get("eventID"), std::regex("[0-9a-f]{32}"))) << message.data;
        eventIds.insert(message.get("eventID"));
    }
    ASSERT_EQ(data.size(), 6u);
    EXPECT_EQ(eventIds.size(), 6u);
    EXPECT_EQ(data[3].substr(data[3].find(",") + 1),
              R"j("errormessage":"could not retrieve projects (500)","kind":"server","status":"500",)j"
              R"j("target":"errorscreen"})j");
    EXPECT_EQ(data[4].substr(data[4].find(",") + 1), R"("projectid":"p-7","target":"uploadform"})");
    EXPECT_EQ(data[5].substr(data[5].find(",") + 1),
              R"j("errormessage":"could not upload file content (4294967295)","kind":"connect","projectid":"p-7",)j"
              R"j("target":"errorscreen"})j");

    // Screen 2 switches the web view to the add-in's page and says nothing.
    palette().setScreen(2, "");
    EXPECT_EQ(pageAddress(), "resources_html/index.html");
    EXPECT_EQ(pageMessages().size(), 6u);

    // With the palette closed every report is dropped quietly.
    palette().closePaletteIfOpen();
    palette().showFailure({"late", "local", 0, ""});
    palette().setScreen(2, "");
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
    const std::vector<PageMessage> sent = messagesNamed("projectlist");
    ASSERT_EQ(sent.size(), 1u);
    const std::string encoded = sent[0].get("projectlist");
    EXPECT_EQ(encoded.find_first_of("\"<> \\\x80\xE6"), std::string::npos) << encoded;
    EXPECT_EQ(support::formDecode(encoded), list->toJson());  // the names hold no "+"
    EXPECT_NE(encoded.find("Zahnr%C3%A4der%20&%20%5C%22Lager%5C%22%20100%25"), std::string::npos) << encoded;

    EXPECT_THROW(palette().setProjectList(nullptr, "p-1"), std::runtime_error);
    EXPECT_EQ(messagesNamed("projectlist").size(), 1u);
}

const std::string kToolpathForm = form(kNewProject, "toolpath");
const std::string kDesignForm = form(kNewProject, "design");

using ExportTest = MachineTest;

// Every way an upload fails before the network ends on the error screen,
// after the progress screen, with nothing exported and nothing in flight.
TEST_F(ExportTest, FailuresBeforeTheNetworkShowProgressThenTheirError) {
    openPalette();
    const auto expectError = [](const char* action, const std::string& form, const std::string& error) {
        qrvn::sim::clearMessagesToPage(kPaletteId);
        fromPage(action, form);
        EXPECT_EQ(screens(), (Ids{"progressscreen", "errorscreen:" + error})) << form;
    };
    qrvn::sim::failOperation("CAM::export3MF");
    expectError("createproject", kDesignForm, "Could not export 3MF data");
    qrvn::sim::clearFailures();
    qrvn::sim::setToolpathValid(host.setup, false);
    expectError("createproject", kToolpathForm,
                "Could not post-process toolpaths. Please regenerate toolpath before uploading!");
    EXPECT_TRUE(host.machineDescriptions().empty());
    // An unknown kind is refused before anything is exported, a thumbnail
    // included, and before the progress screen.
    host.log.mark();
    const size_t thumbnails = host.written(".jpg").size();
    for (const char* action : {"selectproject", "createproject"}) {
        qrvn::sim::clearMessagesToPage(kPaletteId);
        fromPage(action, form(action[0] == 's' ? existingProject("p-1") : kNewProject, "drawing"));
        EXPECT_EQ(screens(), Ids{"errorscreen:unknown upload type: drawing"});
        EXPECT_EQ(messagesNamed("navigate").back().get("kind"), "local");
    }
    EXPECT_EQ(host.written(".jpg").size(), thumbnails);
    EXPECT_EQ(linesFrom(host.log.since(), "StratavoxPalette"),
              (Lines{{"StratavoxPalette::exportAndSend", "unknown upload type: drawing"},
                     {"StratavoxPalette::exportAndSend", "unknown upload type: drawing"}}));
    qrvn::sim::newDocument("Sketch");
    expectError("createproject", kDesignForm, "Could not find CAM Document.");
    expectError("selectproject", R"({"projectID":"p-1","uploadType":"toolpath"})", "Could not find CAM Document.");
    EXPECT_TRUE(host.exports(".3mf").empty());
    EXPECT_TRUE(host.exports(".gcode").empty());
    EXPECT_EQ(machine->getAsyncHandler()->pendingCount(), 0u);
}

// A palette without a machine whose navigations fail: each failure is logged
// under its own source, goes no further, and leaves the palette usable.
struct FailingNavigation : StratavoxPalette {
    using StratavoxPalette::StratavoxPalette;
    void onNavigationEvent(const std::string&) override { throw std::runtime_error("bad navigation"); }
};

TEST_F(ExportTest, PaletteFailuresAreLoggedUnderTheirSource) {
    FailingNavigation orphan(nullptr, "OrphanUpload", StratavoxMachine::uploadCommandInfo(),
                             machine->getAsyncHandler());
    machine.reset();  // its palette used the same id
    qrvn::sim::failOperation("Palettes::addPalette", 1);
    orphan.onExecute();
    EXPECT_FALSE(qrvn::sim::findPalette(kPaletteId));
    orphan.onExecute();  // the host refusing it once does not spoil the next try
    ASSERT_TRUE(qrvn::sim::findPalette(kPaletteId));
    fromPage("createproject", kDesignForm);
    EXPECT_EQ(screens(), (Ids{"progressscreen", "errorscreen:invalid EXMI machine"}));
    qrvn::sim::pump();  // the palette's first navigation, to its page
    EXPECT_EQ(linesFrom(host.log.entries(), "StratavoxPalette"),
              (Lines{{"StratavoxPalette.onpaletteexecute", "fatal error:could not create new palette"},
                     {"StratavoxPalette.htmlevent", "fatal error:invalid EXMI machine"},
                     {"StratavoxPalette.onnavigationevent", "fatal error:bad navigation"}}));
    EXPECT_TRUE(orphan.sendEvent(PaletteEvent("still")));
}

// Where the toolpath's post-processor comes from: the machine's description
// (written to a scratch file that never stays), else the user, asked in a
// file dialog. Every G-code carries the printer settings from the form.
enum class Asked { No, Picks, Cancels };

struct PostCase {
    const char* what;
    const char* post;         // the machine's post-processor
    const char* description;  // the machine's description, if not the host's
    const char* failing;      // a host operation that fails
    Asked asked;
    std::string expected;  // "; post: <path>", "error: <text>" or "thrown"
};

std::ostream& operator<<(std::ostream& out, const PostCase& c) { return out << c.what; }

class PostTest : public MachineTest, public ::testing::WithParamInterface<PostCase> {
protected:
    qrvn::sim::MachineSpec printerSpec() const override {
        qrvn::sim::MachineSpec spec = stratavoxPrinter();
        spec.postProcessor = GetParam().post;
        spec.hasDescriptionXml = *GetParam().description != 0;
        spec.descriptionXml = GetParam().description;
        return spec;
    }
};

TEST_P(PostTest, ComesFromTheMachineOrTheUserAndLeavesNoFileBehind) {
    const PostCase& row = GetParam();
    if (*row.failing) qrvn::sim::failOperation(row.failing);
    if (row.asked == Asked::Picks) {
        qrvn::sim::answerNextFileDialog(qrvn::core::DialogOK, {"/home/maker/posts/chosen.cps"});
    }
    std::string filePath, fileName, errorText, outcome = "thrown";
    try {
        outcome = palette().exportGCode(filePath, fileName, errorText, "AA 0.4", "PLA", "BB 0.8", "PVA")
                      ? readWholeFile(filePath)
                      : "error: " + errorText;
    } catch (const std::exception&) {}
    if (outcome.rfind("; program: ", 0) == 0) {
        EXPECT_NE(outcome.find("\n" + row.expected + "\n"), std::string::npos) << outcome;
        EXPECT_NE(outcome.find("; property extruder1printcoreName = AA 0.4\n; property extruder1Material = PLA\n"
                               "; property extruder2printcoreName = BB 0.8\n; property extruder2Material = PVA\n"),
                  std::string::npos)
            << outcome;
    } else {
        EXPECT_EQ(outcome, row.expected);
        EXPECT_TRUE(host.exports(".gcode").empty());
    }
    EXPECT_TRUE(host.machineDescriptions().empty());
    const auto dialogs = qrvn::sim::fileDialogs();
    ASSERT_EQ(dialogs.size(), row.asked == Asked::No ? 0u : 1u);
    if (!dialogs.empty()) {
        EXPECT_EQ(dialogs[0].initialDirectory, kSystemPosts);
        EXPECT_EQ(dialogs[0].filter, "Postprocessor files (*.cps)");
    }
}

const char* const kChosen = "; post: /home/maker/posts/chosen.cps";

INSTANTIATE_TEST_SUITE_P(
    Machines, PostTest,
    ::testing::Values(PostCase{"system post", "system://stratavox/s5.cps", "", "", Asked::No,
                               "; post: /opt/quorvane/posts/stratavox/s5.cps"},
                      PostCase{"own post, spaces kept", " /home/maker/posts/my s5.cps ", "", "", Asked::No,
                               "; post:  /home/maker/posts/my s5.cps "},
                      PostCase{"no description written", "system://stratavox/s5.cps", "", "Machine::exportToFile",
                               Asked::Picks, kChosen},
                      // No <post> at all: what the host writes for a machine without one.
                      PostCase{"no post", "", "", "", Asked::Picks, kChosen},
                      PostCase{"general only", "", "<machine><general/></machine>", "", Asked::Picks, kChosen},
                      PostCase{"lower case", "", "<machine><post><postprocessor>x.cps</postprocessor></post></machine>",
                               "", Asked::Picks, kChosen},
                      PostCase{"not in post", "", "<machine><postProcessor>x.cps</postProcessor></machine>", "",
                               Asked::Picks, kChosen},
                      PostCase{"other root", "", "<other><post><postProcessor>x.cps</postProcessor></post></other>", "",
                               Asked::Picks, kChosen},
                      PostCase{"cancelled", "", "", "", Asked::Cancels, "error: Canceled post-processor selection."},
                      PostCase{"no file dialog", "", "", "UserInterface::createFileDialog", Asked::No, "thrown"},
                      PostCase{"malformed", "", "<machine><post><postProcessor>x.cps</post></machine>", "", Asked::No,
                               "thrown"}));

}  // namespace
}  // namespace vendor_test
