// The palette bridge: PaletteEvent's JSON in both directions, and a
// PaletteBase subclass driven through the simulated host's palette (button
// press, page messages, navigations, failures inside the callbacks).
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "exmi/palette_base.h"
#include "exmi/palette_event.h"
#include "tests/stratavox/vendor_fixture.h"

namespace vendor_test {
namespace {

using EXMI::PaletteEvent;

TEST(PaletteEventTest, KeepsOnlyStringMembersAndTheFirstOfRepeatedKeys) {
    const PaletteEvent mixed("createproject", R"({"a":"x","n":5,"b":true,"z":null,"l":["y"],"o":{"p":"q"}})");
    EXPECT_EQ(mixed.action, "createproject");
    EXPECT_EQ(mixed.args, (std::map<std::string, std::string>{{"a", "x"}}));

    const PaletteEvent repeated("x", R"({"k":"first","k":"second","m":"é/\u00fc"})");
    EXPECT_EQ(repeated.get("k"), "first");
    EXPECT_EQ(repeated.get("m"), "\xC3\xA9/\xC3\xBC");
    EXPECT_EQ(repeated.get("missing"), "");

    for (const std::string text : {"", "not json", "[\"a\",\"b\"]", "\"text\"", "{\"a\":\"x\"", "42"}) {
        EXPECT_TRUE(PaletteEvent("x", text).args.empty()) << text;
    }
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
    const PaletteEvent back("x", event.toJSON("id"));
    EXPECT_EQ(back.get("a"), event.get("a"));
    EXPECT_EQ(back.get("B"), "\xC3\xA4");
}

TEST(PaletteEventTest, DeeplyNestedMessagesArriveWithoutExhaustingTheStack) {
    const size_t depth = 1000000;
    const PaletteEvent event("x", R"({"a":"x","deep":)" + std::string(depth, '[') + std::string(depth, ']') + "}");
    ASSERT_EQ(event.args.size(), 1u);
    EXPECT_EQ(event.get("a"), "x");
    std::string unterminated;
    for (size_t i = 0; i < depth; ++i) unterminated += R"({"a":)";
    EXPECT_TRUE(PaletteEvent("x", unterminated).args.empty());
}

// A palette that records what reaches it and fails on request.
class ProbePalette : public EXMI::PaletteBase {
public:
    static EXMI::CommandInfo probeInfo() {
        EXMI::CommandInfo info;
        info.name = "Probe";
        info.panelId = "ProbePanel";
        info.tabId = "ToolsTab";
        info.panelName = "Probe";
        return info;
    }

    ProbePalette() : EXMI::PaletteBase(nullptr, "ProbeCommand", probeInfo(), "ProbePalette", "Probe Title", nullptr) {}

    std::string getPaletteURL() override {
        ++urlCalls;
        if (failAddress) throw std::runtime_error("no address");
        return address;
    }
    void onNavigationEvent(const std::string& url) override {
        navigated.push_back(url);
        if (url == "https://127.0.0.1:1/fail") throw std::runtime_error("bad navigation");
    }
    void onHTMLEvent(const PaletteEvent& event) override {
        received.push_back(event);
        if (event.action == "explode") throw std::runtime_error("boom");
    }
    void onPaletteCreated() override { ++created; }

    std::string address = "https://127.0.0.1:1/start";
    bool failAddress = false;
    int urlCalls = 0;
    int created = 0;
    std::vector<std::string> navigated;
    std::vector<PaletteEvent> received;
};

class PaletteBridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        probe = std::make_unique<ProbePalette>();
        probe->run();
        ASSERT_EQ(qrvn::sim::controlIds("ProbePanel"), std::vector<std::string>{"ProbeCommand"});
    }
    void TearDown() override {
        probe.reset();
        EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
    }

    static Ptr<qrvn::core::Palette> palette() { return qrvn::sim::findPalette("ProbePalette"); }
    static size_t paletteCount() {
        size_t count = 0;
        Ptr<qrvn::core::Palettes> all = qrvn::core::Application::get()->userInterface()->palettes();
        for (size_t i = 0; i < all->count(); ++i) count += all->item(i)->id() == "ProbePalette" ? 1 : 0;
        return count;
    }
    static std::vector<PageMessage> sent() { return pageMessages("ProbePalette"); }

    VendorHost host;
    std::unique_ptr<ProbePalette> probe;
};

TEST_F(PaletteBridgeTest, ExecutingTwiceLeavesOnePaletteWithEachHandlerOnce) {
    ASSERT_TRUE(qrvn::sim::pressControl("ProbeCommand"));
    Ptr<qrvn::core::Palette> first = palette();
    ASSERT_TRUE(first);
    probe->address = "https://127.0.0.1:1/again";
    ASSERT_TRUE(qrvn::sim::pressControl("ProbeCommand"));

    Ptr<qrvn::core::Palette> second = palette();
    ASSERT_TRUE(second);
    EXPECT_NE(first, second);
    EXPECT_FALSE(first->isValid());
    EXPECT_EQ(paletteCount(), 1u);
    EXPECT_EQ(second->htmlEvent()->handlerCount(), 1u);
    EXPECT_EQ(second->navigationEvent()->handlerCount(), 1u);
    EXPECT_EQ(first->htmlEvent()->handlerCount(), 0u);
    EXPECT_EQ(first->navigationEvent()->handlerCount(), 0u);
    EXPECT_EQ(probe->created, 2);

    EXPECT_EQ(second->name(), "Probe Title");
    EXPECT_EQ(second->pageURL(), "https://127.0.0.1:1/again");
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(second->dockingState(), qrvn::core::PaletteDockStateRight);
    EXPECT_EQ(second->width(), 800);
    EXPECT_EQ(second->height(), 800);

    // The first palette's queued navigation never reaches the probe.
    qrvn::sim::pump();
    EXPECT_EQ(probe->navigated, std::vector<std::string>{"https://127.0.0.1:1/again"});
}

TEST_F(PaletteBridgeTest, MessagesGoOnlyToAnOpenPaletteEachWithAFreshEventId) {
    PaletteEvent event("navigate");
    event.set("target", "uploadform");
    EXPECT_FALSE(probe->sendEvent(event));
    EXPECT_FALSE(probe->setPaletteURL("https://127.0.0.1:1/x"));
    EXPECT_FALSE(palette());
    probe->closePaletteIfOpen();
    EXPECT_TRUE(linesFrom(host.log.entries(), "ProbePalette").empty());

    ASSERT_TRUE(qrvn::sim::pressControl("ProbeCommand"));
    EXPECT_TRUE(probe->sendEvent(event));
    EXPECT_TRUE(probe->sendEvent(event));
    const std::vector<PageMessage> messages = sent();
    ASSERT_EQ(messages.size(), 2u);
    for (const PageMessage& message : messages) {
        EXPECT_EQ(message.action, "navigate");
        EXPECT_TRUE(isEventId(message.get("eventID"))) << message.get("eventID");
        EXPECT_EQ(message.data, R"({"eventID":")" + message.get("eventID") + R"(","target":"uploadform"})");
    }
    EXPECT_NE(messages[0].get("eventID"), messages[1].get("eventID"));
}

TEST_F(PaletteBridgeTest, PageMessagesReachTheHandlerAndItsFailuresAreLogged) {
    ASSERT_TRUE(qrvn::sim::pressControl("ProbeCommand"));
    host.log.mark();
    qrvn::sim::sendFromPage("ProbePalette", "explode", "{}");
    EXPECT_EQ(linesFrom(host.log.since(), "ProbePalette"),
              (std::vector<Entry>{{"ProbePalette.htmlevent", "fatal error:boom"}}));

    // The palette stays usable.
    qrvn::sim::sendFromPage("ProbePalette", "createproject", R"({"projectName":"Brackets","count":3})");
    ASSERT_EQ(probe->received.size(), 2u);
    EXPECT_EQ(probe->received[0].action, "explode");
    EXPECT_EQ(probe->received[1].action, "createproject");
    EXPECT_EQ(probe->received[1].args, (std::map<std::string, std::string>{{"projectName", "Brackets"}}));
    EXPECT_TRUE(probe->sendEvent(PaletteEvent("still")));
    EXPECT_EQ(sent().size(), 1u);
}

TEST_F(PaletteBridgeTest, NavigationsReachTheHandlerAndTheirFailuresAreLogged) {
    ASSERT_TRUE(qrvn::sim::pressControl("ProbeCommand"));
    EXPECT_TRUE(probe->setPaletteURL("https://127.0.0.1:1/next"));
    ASSERT_TRUE(qrvn::sim::navigatePalette("ProbePalette", "https://127.0.0.1:1/fail"));
    host.log.mark();
    qrvn::sim::pump();
    EXPECT_EQ(probe->navigated, (std::vector<std::string>{"https://127.0.0.1:1/start", "https://127.0.0.1:1/next",
                                                          "https://127.0.0.1:1/fail"}));
    EXPECT_EQ(linesFrom(host.log.since(), "ProbePalette"),
              (std::vector<Entry>{{"ProbePalette.onnavigationevent", "fatal error:bad navigation"}}));
    EXPECT_EQ(palette()->pageURL(), "https://127.0.0.1:1/fail");
}

TEST_F(PaletteBridgeTest, OpeningFailuresAreLoggedWithoutAPalette) {
    probe->failAddress = true;
    ASSERT_TRUE(qrvn::sim::pressControl("ProbeCommand"));
    EXPECT_FALSE(palette());
    EXPECT_EQ(probe->created, 0);
    EXPECT_EQ(linesFrom(host.log.entries(), "ProbePalette"),
              (std::vector<Entry>{{"ProbePalette.onpaletteexecute", "fatal error:no address"}}));

    probe->failAddress = false;
    qrvn::sim::failOperation("Palettes::addPalette", 1);
    host.log.mark();
    probe->onExecute();
    EXPECT_FALSE(palette());
    EXPECT_EQ(probe->created, 0);
    EXPECT_EQ(linesFrom(host.log.since(), "ProbePalette"),
              (std::vector<Entry>{{"ProbePalette.onpaletteexecute", "fatal error:could not create new palette"}}));

    // The host refusing the palette once does not spoil the next try.
    probe->onExecute();
    EXPECT_TRUE(palette());
    EXPECT_EQ(probe->created, 1);
}

TEST_F(PaletteBridgeTest, ClosingAndDestructionDetachFromTheHost) {
    ASSERT_TRUE(qrvn::sim::pressControl("ProbeCommand"));
    Ptr<qrvn::core::Palette> open = palette();
    probe->closePaletteIfOpen();
    EXPECT_FALSE(palette());
    EXPECT_FALSE(open->isValid());
    EXPECT_EQ(open->htmlEvent()->handlerCount(), 0u);

    ASSERT_TRUE(qrvn::sim::pressControl("ProbeCommand"));
    open = palette();
    qrvn::sim::navigatePalette("ProbePalette", "https://127.0.0.1:1/late");
    probe.reset();
    EXPECT_FALSE(palette());
    EXPECT_EQ(open->htmlEvent()->handlerCount(), 0u);
    EXPECT_EQ(open->navigationEvent()->handlerCount(), 0u);
    EXPECT_TRUE(qrvn::sim::controlIds("ProbePanel").empty());
    // A navigation queued before the destruction finds nobody to call.
    qrvn::sim::pump();
    EXPECT_TRUE(linesFrom(host.log.entries(), "ProbePalette").empty());
}

}  // namespace
}  // namespace vendor_test
