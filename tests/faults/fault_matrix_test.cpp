// The whole upload, driven only through the palette's page messages against
// the cloud emulator, with one fault injected at one endpoint per row: the
// screen the page ends on with its exact text (also in the log), its kind and
// status and the project the upload had created, no wait past its deadline,
// nothing half-stored, no export left behind, and a retry from the page that
// stores the file byte for byte, into the created project when there was one.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cloud/pkce.h"
#include "tests/stratavox/machine_fixture.h"

namespace fault_matrix {
namespace {

using emulator::Endpoint;
using vendor_test::kPaletteId;
using vendor_test::messagesNamed;
using vendor_test::PageMessage;
using vendor_test::screens;

enum class Injected { Timeout, Status401, Status403, Status500, Malformed, WrongType, Dropped, Untrusted, Expired };

struct Row {
    Endpoint endpoint;
    Injected fault;
    std::string screen;  // "errorscreen", "successscreen" or "uploadform"
    std::string text;    // the error screen's message; empty for the other screens
    std::string kind;    // the error screen's "kind"
    std::string status;  // its "status"; empty: none
};

const char* const kError = "errorscreen";
const char* const kSuccess = "successscreen";
const char* const kForm = "uploadform";
const std::string kAnnounce = "could not upload file to project (";
const std::string kExpiredAnswer = R"({"error":"invalid_token","error_description":"access token expired"})";
// What the emulator sends of an announcement answer before it drops the connection.
const std::string kPartialAnnouncement = R"({"data":{"upload_url":"https://)";

// Transfer failures show the contract's code: 28 for a timeout, 4294967295
// for any other; their kind stands beside it. Injected statuses answer with
// the body "denied"; wrong answers come with status 200.
struct Outcome {
    std::string code, kind, status;
};
const std::map<Injected, Outcome> kOutcomes = {
    {Injected::Timeout, {"28", "timeout", ""}},         {Injected::Status401, {"401", "refused", "401"}},
    {Injected::Status403, {"403", "refused", "403"}},   {Injected::Status500, {"500", "server", "500"}},
    {Injected::Dropped, {"4294967295", "connect", ""}}, {Injected::Untrusted, {"4294967295", "certificate", ""}},
    {Injected::Malformed, {"200", "answer", "200"}},    {Injected::WrongType, {"200", "answer", "200"}},
    {Injected::Expired, {"401", "refused", "401"}},
};

std::vector<Row> makeRows() {
    using I = Injected;
    using E = Endpoint;
    std::vector<Row> rows;
    const auto add = [&rows](E endpoint, I fault, const char* screen, const std::string& text) {
        const Outcome& outcome = kOutcomes.at(fault);
        rows.push_back({endpoint, fault, screen, text, screen == kError ? outcome.kind : "",
                        screen == kError ? outcome.status : ""});
    };
    // "<what> (<code>)" for each transfer failure.
    const auto transfer = [&](E endpoint, const std::string& what) {
        for (I fault : {I::Timeout, I::Status401, I::Status403, I::Status500, I::Dropped, I::Untrusted})
            add(endpoint, fault, kError, what + " (" + kOutcomes.at(fault).code + ")");
    };
    // Announcements: a failed status carries the answer's body, a dropped
    // answer what arrived of it.
    const auto announce = [&](E endpoint) {
        add(endpoint, I::Timeout, kError, kAnnounce + "28)\n");
        add(endpoint, I::Status401, kError, kAnnounce + "401)\ndenied");
        add(endpoint, I::Status403, kError, kAnnounce + "403)\ndenied");
        add(endpoint, I::Status500, kError, kAnnounce + "500)\ndenied");
        add(endpoint, I::Malformed, kError, "invalid create project response");
        add(endpoint, I::WrongType, kError, "upload URL is no string");
        add(endpoint, I::Dropped, kError, kAnnounce + "4294967295)\n" + kPartialAnnouncement);
        add(endpoint, I::Untrusted, kError, kAnnounce + "4294967295)\n");
        add(endpoint, I::Expired, kError, kAnnounce + "401)\n" + kExpiredAnswer);
    };

    transfer(E::Token, "could not authenticate");
    add(E::Token, I::Malformed, kError, "could not parse login response.");
    add(E::Token, I::WrongType, kError, "could not log in account!");  // "expires_in" as text
    // A token issued with less life left than the client's safety margin.
    add(E::Token, I::Expired, kError, "invalid token expiration time");
    rows.back().kind = "answer";
    rows.back().status = "200";

    transfer(E::ProjectsList, "could not retrieve projects");
    // A list answer that is not JSON is dropped silently: the form stays, without a list.
    add(E::ProjectsList, I::Malformed, kForm, "");
    add(E::ProjectsList, I::WrongType, kError, "project data project id is no string");
    add(E::ProjectsList, I::Expired, kError, "could not retrieve projects (401)");

    transfer(E::ProjectCreate, "could not create new project");
    add(E::ProjectCreate, I::Malformed, kError, "invalid create project response");
    add(E::ProjectCreate, I::WrongType, kError, "project data project id is no string");
    add(E::ProjectCreate, I::Expired, kError, "could not create new project (401)");

    // The thumbnail is fire and forget: its failures never reach the page.
    // Only a refused certificate (chosen at the handshake, met by the
    // announcement leaving with it) and an expired token reach further.
    for (I fault : {I::Timeout, I::Status401, I::Status403, I::Status500, I::Malformed, I::WrongType, I::Dropped}) {
        add(E::Thumbnail, fault, kSuccess, "");
    }
    add(E::Thumbnail, I::Untrusted, kError, kAnnounce + "4294967295)\n");
    add(E::Thumbnail, I::Expired, kError, kAnnounce + "401)\n" + kExpiredAnswer);

    announce(E::FilesAnnounce);  // a design into a new project
    announce(E::JobsAnnounce);   // a toolpath into the existing project, right after the list

    // The storage answer's body is never read, and the one-time address
    // carries its own authorisation: malformed, mistyped and expired succeed.
    transfer(E::StoragePut, "could not upload file content");
    for (I fault : {I::Malformed, I::WrongType, I::Expired}) add(E::StoragePut, fault, kSuccess, "");
    return rows;
}

const std::vector<Row> kRows = makeRows();

const char* faultName(Injected fault) {
    static const char* const names[] = {"timeout",   "status401", "status403", "status500", "malformed",
                                        "wrongtype", "dropped",   "untrusted", "expired"};
    return names[static_cast<int>(fault)];
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name = emulator::endpointName(info.param.endpoint) + "_" + faultName(info.param.fault);
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

// gtest names the row with it in the test's listing.
std::ostream& operator<<(std::ostream& out, const Row& row) { return out << rowName({row, 0}); }

// A fault is armed just before the request it is meant for leaves, so one
// that acts at the TLS handshake meets that request and no earlier one.
enum class Stage { BeforeExchange, BeforeList, BeforeUpload, BeforeAnnouncement, BeforeStorage };

Stage stageOf(Endpoint endpoint) {
    switch (endpoint) {
    case Endpoint::Token: return Stage::BeforeExchange;
    case Endpoint::ProjectsList: return Stage::BeforeList;
    case Endpoint::Thumbnail:
    case Endpoint::FilesAnnounce: return Stage::BeforeAnnouncement;
    case Endpoint::StoragePut: return Stage::BeforeStorage;
    default: return Stage::BeforeUpload;  // project creation, print-job announcement
    }
}

PageMessage lastNavigation() {
    const std::vector<PageMessage> all = messagesNamed("navigate");
    return all.empty() ? PageMessage() : all.back();
}

std::string lastTarget() { return lastNavigation().get("target"); }

const std::chrono::seconds kRequestTimeout{30};  // a slow machine must not time out
const std::chrono::seconds kShortTimeout{2};     // for the rows that delay an answer
const double kDelaySeconds = 60;                 // outlasts every row; the emulator wakes it when it stops

class FaultMatrixTest : public vendor_test::CloudMachineTest, public ::testing::WithParamInterface<Row> {
protected:
    void SetUp() override {
        CloudMachineTest::SetUp();
        if (HasFatalFailure()) return;
        connector().setRequestTimeout(kRequestTimeout);
        existing = cloud->addProject("Existing", "made before");
    }

    // Waits for the emulator without running the UI thread: a finished
    // request wakes the UI thread at once, so only while it does not run may
    // a fault be armed between a request's answer and the next request.
    bool waitForEmulator(const std::function<bool()>& condition) {
        return testing_support::waitUntil(condition, std::chrono::seconds(20));
    }

    bool idle() const { return machine->getAsyncHandler()->pendingCount() == 0; }

    // Requests the emulator has answered (or cut off) whose path starts with `path`.
    size_t answered(const std::string& method, const std::string& path) const {
        size_t count = 0;
        for (const emulator::RecordedRequest& request : cloud->requests()) {
            count += request.method == method && request.path.compare(0, path.size(), path) == 0;
        }
        return count;
    }

    void arm(const Row& row) {
        using emulator::Fault;
        switch (row.fault) {
        case Injected::Timeout:
            connector().setRequestTimeout(kShortTimeout);
            cloud->setFault(row.endpoint, Fault::delay(kDelaySeconds));
            break;
        case Injected::Status401: cloud->setFault(row.endpoint, Fault::statusCode(401, "denied")); break;
        case Injected::Status403: cloud->setFault(row.endpoint, Fault::statusCode(403, "denied")); break;
        case Injected::Status500: cloud->setFault(row.endpoint, Fault::statusCode(500, "denied")); break;
        case Injected::Malformed: cloud->setFault(row.endpoint, Fault::malformedJson()); break;
        case Injected::WrongType: cloud->setFault(row.endpoint, Fault::wrongType()); break;
        case Injected::Dropped: cloud->setFault(row.endpoint, Fault::dropConnection()); break;
        case Injected::Untrusted: cloud->setFault(row.endpoint, Fault::untrustedCertificate()); break;
        case Injected::Expired:
            if (row.endpoint == Endpoint::Token) cloud->setTokenLifetime(std::chrono::seconds(30));
            else cloud->expireAccessTokens();
            break;
        }
    }

    void disarm() {
        cloud->clearFaults();
        cloud->setTokenLifetime(std::chrono::seconds(3600));
        connector().setRequestTimeout(kRequestTimeout);
    }

    // Print jobs go into the existing project, files into a new one unless
    // `into` names one (the page's "Try again" after the upload created it).
    void submitForm(const Row& row, const std::string& into = "") {
        const bool job = row.endpoint == Endpoint::JobsAnnounce;
        if (job || !into.empty()) {
            fromPage("selectproject", vendor_test::form(vendor_test::existingProject(job ? existing : into),
                                                        job ? "toolpath" : "design"));
        } else {
            fromPage("createproject", vendor_test::form(vendor_test::kNewProject, "design"));
        }
    }

    const char* extensionOf(const Row& row) const { return row.endpoint == Endpoint::JobsAnnounce ? ".gcode" : ".3mf"; }

    void expectNoExportLeft() const {
        EXPECT_TRUE(host.exports(".3mf").empty() && host.exports(".gcode").empty() && host.exports(".jpg").empty());
    }

    // Since the counts were taken, exactly one file was exported and exactly
    // one stored, in `projectId`, byte for byte the export; the export is gone.
    void expectStoredOnce(const Row& row, const std::string& projectId, size_t exportsBefore, size_t storedBefore) {
        const std::vector<qrvn::sim::WrittenFile> exported = host.written(extensionOf(row));
        ASSERT_EQ(exported.size(), exportsBefore + 1);
        expectNoExportLeft();
        const std::vector<emulator::StoredFile> stored = cloud->storedFiles();
        ASSERT_EQ(stored.size(), storedBefore + 1);
        EXPECT_EQ(stored.back().projectId, projectId);
        EXPECT_EQ(stored.back().size, exported.back().bytes.size());
        EXPECT_EQ(stored.back().sha256, EXMIImpl::sha256Hex(exported.back().bytes));
    }

    std::string existing;
};

TEST_P(FaultMatrixTest, EndsOnItsScreenStoresNothingHalfAndARetryFromThePageSucceeds) {
    const Row& row = GetParam();
    const Stage stage = stageOf(row.endpoint);
    size_t exportsBefore = host.written(extensionOf(row)).size();
    size_t storedBefore = cloud->storedFiles().size();

    openPalette();
    if (stage == Stage::BeforeExchange) arm(row);
    followSignIn();
    if (HasFatalFailure()) return;
    if (stage == Stage::BeforeList) {
        ASSERT_TRUE(waitForEmulator([this] { return answered("POST", "/token") == 1; }));
        arm(row);
    }
    ASSERT_TRUE(heartbeatUntil([this] { return !screens().empty() && idle(); })) << ::testing::PrintToString(screens());

    // The upload, when the sign-in left the form with a project list.
    if (lastTarget() == kForm && !messagesNamed("projectlist").empty()) {
        qrvn::sim::clearMessagesToPage(kPaletteId);
        if (stage == Stage::BeforeUpload) arm(row);
        submitForm(row);
        if (stage == Stage::BeforeAnnouncement) {
            ASSERT_TRUE(waitForEmulator([this] { return answered("PUT", "/plyx/v1/projects") == 1; }));
            arm(row);
        }
        if (stage == Stage::BeforeStorage) {
            // The project's answer sends off thumbnail and announcement and
            // shows the progress screen once more.
            ASSERT_TRUE(heartbeatUntil([] { return screens().size() == 2 || vendor_test::resultShown(); }));
            ASSERT_EQ(screens(), (std::vector<std::string>{"progressscreen", "progressscreen"}));
            ASSERT_TRUE(waitForEmulator([this] {
                return answered("PUT", "/plyx/v1/files/upload") == 1 && answered("POST", "/plyx/v1/projects/") == 1;
            }));
            arm(row);
        }
        ASSERT_TRUE(heartbeatUntil(vendor_test::resultShown)) << ::testing::PrintToString(screens());
    }

    const PageMessage last = lastNavigation();
    EXPECT_EQ(last.get("target"), row.screen) << ::testing::PrintToString(screens());
    // Past the project's creation the page is told which one it was.
    const bool created = row.endpoint == Endpoint::Thumbnail || row.endpoint == Endpoint::FilesAnnounce ||
                         row.endpoint == Endpoint::StoragePut;
    const std::string createdId = created && !cloud->projects().empty() ? cloud->projects().back().id : "";
    if (row.screen == kSuccess) {
        expectStoredOnce(row, last.get("projectid"), exportsBefore, storedBefore);
    } else {
        EXPECT_EQ(last.get("errormessage"), row.text);
        EXPECT_EQ(last.get("kind"), row.kind);
        EXPECT_EQ(last.get("status"), row.status);
        EXPECT_EQ(last.members.count("status"), row.status.empty() ? 0u : 1u);
        EXPECT_EQ(last.get("projectid"), row.screen == kError ? createdId : "");
        if (row.screen == kError) {
            const auto entries = host.log.entries();
            EXPECT_TRUE(std::any_of(entries.begin(), entries.end(),
                                    [&row](const exmi_test::Entry& entry) { return entry.message == row.text; }));
        }
        if (row.screen == kForm) {
            EXPECT_TRUE(messagesNamed("projectlist").empty());
        }
        // Nothing the page was told had failed sits in the storage as if
        // complete, nor does its export linger.
        EXPECT_TRUE(cloud->storedFiles().empty());
        expectNoExportLeft();
    }

    // The retry with the service healthy again; a session that did not
    // survive the failure sends the palette back to sign-in.
    disarm();
    exportsBefore = host.written(extensionOf(row)).size();
    storedBefore = cloud->storedFiles().size();
    qrvn::sim::clearMessagesToPage(kPaletteId);
    fromPage("uploadanotherproject");
    if (row.fault == Injected::Expired && row.screen == kSuccess) {
        // An expiry the upload never met is learnt of by the next request:
        // the form's list is refused once, and the next press signs in again.
        ASSERT_TRUE(heartbeatUntil([] { return lastTarget() == kError; })) << ::testing::PrintToString(screens());
        EXPECT_EQ(lastNavigation().get("errormessage"), "could not retrieve projects (401)");
        qrvn::sim::clearMessagesToPage(kPaletteId);
        fromPage("uploadanotherproject");
    }
    if (pageAddress() != "resources_html/index.html") followSignIn();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(heartbeatUntil([] { return !messagesNamed("projectlist").empty() || lastTarget() == kError; }));
    ASSERT_EQ(lastTarget(), kForm) << ::testing::PrintToString(screens());
    const size_t projectsBefore = cloud->projects().size();
    submitForm(row, last.get("projectid"));
    ASSERT_TRUE(heartbeatUntil(vendor_test::resultShown)) << ::testing::PrintToString(screens());
    ASSERT_EQ(lastTarget(), kSuccess) << ::testing::PrintToString(screens());
    expectStoredOnce(row, lastNavigation().get("projectid"), exportsBefore, storedBefore);
    // A retry into the created project makes no second one.
    if (!last.get("projectid").empty()) {
        EXPECT_EQ(lastNavigation().get("projectid"), last.get("projectid"));
        EXPECT_EQ(cloud->projects().size(), projectsBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryEndpointAndFault, FaultMatrixTest, ::testing::ValuesIn(kRows), rowName);

}  // namespace
}  // namespace fault_matrix
