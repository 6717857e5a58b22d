#include "support/document.h"

#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>

#include "simhost/sim/sim.h"
#include "support/ids.h"
#include "support/log.h"
#include "tests/support/log_fixture.h"

namespace {

using qrvn::core::Ptr;
using testing_support::failureOf;
using testing_support::readWholeFile;
namespace sim = qrvn::sim;

class DocumentIdentity : public ::testing::Test {
protected:
    sim::Session session_;
};

TEST_F(DocumentIdentity, EnsureAddsKeepsAndReplacesAsAsked) {
    auto document = sim::newDocument("Bracket");
    EXPECT_EQ(support::readDocumentUuid(document), "");
    const std::string first = support::ensureDocumentUuid(document, {}, true);
    EXPECT_TRUE(std::regex_match(first, std::regex("[0-9a-f]{12}4[0-9a-f]{3}[89ab][0-9a-f]{15}"))) << first;

    EXPECT_EQ(support::ensureDocumentUuid(document, {first}, false), first) << "known, replacing not asked";
    EXPECT_EQ(support::ensureDocumentUuid(document, {"someotherid"}, true), first) << "replacing asked, not known";
    const std::string second = support::ensureDocumentUuid(document, {first}, true);
    EXPECT_NE(second, first);
    EXPECT_EQ(document->attributes()->itemsByGroup("EXMI").size(), 1u);
}

TEST_F(DocumentIdentity, SavedIdentityTravelsAndFindMatchesOnlyExactNonEmptyIdentities) {
    sim::newDocument("No identity");
    auto original = sim::newDocument("Housing");
    const std::string id = support::ensureDocumentUuid(original, {}, false);
    auto copy = sim::openDocument(sim::saveDocument(original));
    EXPECT_EQ(support::readDocumentUuid(copy), id);
    EXPECT_EQ(support::findDocumentByUuid(id), original) << "both carry it: the first in the host's order wins";

    const std::string copyId = support::ensureDocumentUuid(copy, {id}, true);
    EXPECT_EQ(support::findDocumentByUuid(copyId), copy);

    EXPECT_EQ(support::findDocumentByUuid(""), nullptr) << "matched a document without identity";
    EXPECT_EQ(support::findDocumentByUuid(id.substr(0, 31)), nullptr);
    EXPECT_EQ(support::findDocumentByUuid(support::formatUuid(id)), nullptr);

    sim::closeDocument(original);
    EXPECT_EQ(support::findDocumentByUuid(id), nullptr);
}

TEST_F(DocumentIdentity, CamProductIsFoundWithoutSwitchingWorkspacesMachinePathJoinsIdsAndMissingCollectionsFail) {
    auto document = sim::newDocument();
    const std::string workspace = sim::activeWorkspaceId();
    EXPECT_EQ(support::getCamProduct(document), nullptr);
    auto cam = sim::ensureCamProduct(document);
    EXPECT_EQ(support::getCamProduct(document), cam);
    EXPECT_EQ(sim::activeWorkspaceId(), workspace);

    const std::string id = support::ensureDocumentUuid(document, {}, false);
    auto machine = sim::addMachine({"m1", "Printer", "Stratavox", "P1", "", true, qrvn::cam::FFFMachineTechnology,
                                    qrvn::cam::HostLibraryLocation, "", false, ""});
    sim::addSetup(document, "Setup1", machine);
    auto second = sim::addSetup(document, "Setup2", machine);
    ASSERT_TRUE(second);
    EXPECT_EQ(support::machinePath(document, second), id + "/" + std::to_string(second->operationId()));
    EXPECT_EQ(failureOf([&] { support::machinePath(document, nullptr); }), "invalid setup or document");
    EXPECT_EQ(failureOf([&] { support::machinePath(nullptr, second); }), "invalid setup or document");

    sim::failOperation("Document::attributes");
    EXPECT_THROW(support::readDocumentUuid(document), std::exception);
    sim::failOperation("Document::products");
    EXPECT_THROW(support::getCamProduct(document), std::exception);
}

TEST(HostLookups, WithoutApplicationOrDocumentEverythingIsNone) {
    sim::Session session(sim::HostOptions{false, false});
    EXPECT_EQ(support::readDocumentUuid(nullptr), "");
    EXPECT_EQ(support::ensureDocumentUuid(nullptr, {"x"}, true), "");
    EXPECT_EQ(support::getCamProduct(nullptr), nullptr);
    EXPECT_EQ(support::getUserInterface(), nullptr);
    EXPECT_EQ(support::getActiveDocument(), nullptr);
    EXPECT_EQ(support::findDocumentByUuid("0123456789abcdef0123456789abcdef"), nullptr);
}

using NotifyTest = testing_support::LogTest;

TEST_F(NotifyTest, LineAlwaysAndMessageBoxOnlyWhenAskedAndPossible) {
    for (bool withApplication : {false, true}) {
        sim::Session session(sim::HostOptions{withApplication, false});
        support::logAndNotify("no box", "T", true, 2);
    }
    sim::Session session;
    support::logAndNotify("quiet", "Stratavox AddIn", false, 2);
    EXPECT_TRUE(sim::messageBoxes().empty());
    support::logAndNotify("Could not connect", "Stratavox AddIn", true, 3);
    support::logAndNotify("odd icon", "T", true, 99);
    const auto boxes = sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Could not connect");
    EXPECT_EQ(boxes[0].title, "Stratavox AddIn");
    EXPECT_EQ(boxes[0].buttons, qrvn::core::OKButtonType);
    EXPECT_EQ(boxes[0].icon, qrvn::core::WarningIconType);
    EXPECT_EQ(boxes[1].icon, qrvn::core::NoIconIconType);
    EXPECT_TRUE(std::regex_match(
        readWholeFile(logFile()),
        std::regex(linePattern("T", "no box") + linePattern("T", "no box") + linePattern("Stratavox AddIn", "quiet") +
                   linePattern("Stratavox AddIn", "Could not connect") + linePattern("T", "odd icon"))));
}

}  // namespace
