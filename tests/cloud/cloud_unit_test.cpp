// Pure parts of the cloud client: JSON bodies and answers, PKCE and sign-in
// addresses, service configuration and failure kinds. No thread is started
// here.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "cloud/cloud_failure.h"
#include "cloud/cloud_json.h"
#include "cloud/pkce.h"
#include "cloud/service_configuration.h"
#include "cloud/stratavox_connector.h"
#include "net/http_response.h"
#include "support/encoding.h"
#include "tests/support/scratch.h"

namespace {

using namespace EXMIImpl;
using testing_support::failureOf;

TEST(TokenAnswer, AcceptsStringsAndAnUnsignedLifetimeAboveThirtyAndNamesEachRefusal) {
    const TokenAnswer answer = readTokenAnswer(R"({"access_token":"A","refresh_token":"R","expires_in":31,"x":1})");
    EXPECT_EQ("A", answer.accessToken);
    EXPECT_EQ("R", answer.refreshToken);
    EXPECT_EQ(31u, answer.expiresIn);

    const std::pair<const char*, const char*> cases[] = {
        {"[1,2]", "invalid token expiration time"},
        {R"({"refresh_token":"R","expires_in":60})", "acccess token not found"},
        {R"({"access_token":"A","expires_in":3600})", "refresh token not found"},
        {R"({"access_token":"A","refresh_token":"R"})", "expiration not found"},
        {R"({"access_token":"A","refresh_token":"R","expires_in":-5})", "could not log in account!"},
        {R"({"access_token":"A","refresh_token":"R","expires_in":3600.0})", "could not log in account!"},
        {R"({"access_token":"A","refresh_token":"R","expires_in":4294967296})", "could not log in account!"},
        {R"({"access_token":1,"refresh_token":"R","expires_in":60})", "could not log in account!"},
        {R"({"access_token":"A","refresh_token":null,"expires_in":60})", "could not log in account!"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.second, failureOf([&] { readTokenAnswer(c.first); })) << c.first;
}

TEST(ProjectList, ReadsProjectsInOrderKeepsDuplicatesAndEscapesThePageText) {
    const auto list = readProjectList(R"({"data":[{"display_name":"One","library_project_id":"p1","description":"d1"},)"
                                      R"({"display_name":"Two","library_project_id":"p2"},)"
                                      R"({"display_name":"One again","library_project_id":"p1","extra":true}]})");
    ASSERT_TRUE(list);
    EXPECT_EQ(R"([{"projectName":"One","projectDescription":"d1","projectID":"p1"},)"
              R"({"projectName":"Two","projectDescription":"","projectID":"p2"},)"
              R"({"projectName":"One again","projectDescription":"","projectID":"p1"}])",
              list->toJson());
    // The page text escapes as JSON requires.
    CStratavoxFabriqoProjectList escaped;
    escaped.projects.push_back(std::make_shared<CStratavoxFabriqoProject>("i\"d", "line\nbreak", "back\\slash"));
    EXPECT_EQ(R"([{"projectName":"line\nbreak","projectDescription":"back\\slash","projectID":"i\"d"}])",
              escaped.toJson());
    // So does a service's name that is not UTF-8.
    CStratavoxFabriqoProjectList invalid;
    invalid.projects.push_back(std::make_shared<CStratavoxFabriqoProject>("p", "x\xC3", "\xFF"));
    EXPECT_EQ("[{\"projectName\":\"x\xEF\xBF\xBD\",\"projectDescription\":\"\xEF\xBF\xBD\",\"projectID\":\"p\"}]",
              invalid.toJson());
}

TEST(ProjectList, DropsNonObjectsQuietlyAndRefusesBadShapes) {
    EXPECT_FALSE(readProjectList("[]"));
    const auto empty = readProjectList(R"({"data":[]})");
    ASSERT_TRUE(empty);
    EXPECT_EQ("[]", empty->toJson());

    const std::pair<const char*, const char*> cases[] = {
        {"{}", "data field not found"},
        {R"({"data":{}})", "data field is no array"},
        {R"({"data":[{"library_project_id":"p"}]})", "project data object has no display name"},
        {R"({"data":[{"display_name":"n"}]})", "project data object has no project id"},
        {R"({"data":[{"display_name":1,"library_project_id":"p"}]})", "project data display name is no string"},
        {R"({"data":[{"display_name":"n","library_project_id":"p","description":[]}]})",
         "project data description is no string"},
        {R"({"data":["p"]})", "project data is no object"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.second, failureOf([&] { readProjectList(c.first); })) << c.first;
}

TEST(ServiceAnswers, CreateAndAnnouncementAnswersAreChecked) {
    const auto project =
        readCreatedProject(R"({"data":{"display_name":"N","library_project_id":"id7","description":"D"}})");
    EXPECT_EQ("id7", project->id);
    EXPECT_EQ("https://s/u?sig=1", readUploadUrl(R"({"data":{"upload_url":"https://s/u?sig=1","job_id":"j"}})"));

    const std::pair<const char*, const char*> created[] = {
        {"[]", "invalid create project response object"},
        {"{}", "create response has no data"},
        {R"({"data":[]})", "create response data is no object"},
    };
    for (const auto& c : created) EXPECT_EQ(c.second, failureOf([&] { readCreatedProject(c.first); })) << c.first;
    // The envelope is the created project's, checked above.
    EXPECT_EQ("did not receive upload URL", failureOf([] { readUploadUrl(R"({"data":{}})"); }));
}

// A service answer nested a million levels deep meets the same checks as any
// other wrong shape instead of exhausting the UI thread's stack.
TEST(ServiceAnswers, DeepNestingIsReadWithoutExhaustingTheStack) {
    const size_t depth = 1000000;
    const std::string nested = std::string(depth, '[') + std::string(depth, ']');
    EXPECT_EQ("invalid token expiration time", failureOf([&] { readTokenAnswer(nested); }));
    EXPECT_EQ("could not parse login response.", failureOf([&] { readTokenAnswer(std::string(depth, '[')); }));
    EXPECT_EQ(
        "A",
        readTokenAnswer(R"({"access_token":"A","refresh_token":"R","expires_in":60,"x":)" + nested + "}").accessToken);
    EXPECT_EQ("project data is no object", failureOf([&] { readProjectList(R"({"data":[)" + nested + "]}"); }));
    EXPECT_EQ("create response data is no object",
              failureOf([&] { readCreatedProject(R"({"data":)" + nested + "}"); }));
    EXPECT_EQ("create response data is no object", failureOf([&] { readUploadUrl(R"({"data":)" + nested + "}"); }));
}

TEST(ServiceBodies, MembersStandInTheirFixedOrder) {
    EXPECT_EQ(R"({"data":{"display_name":"N \"q\"","description":""}})", createProjectBody("N \"q\"", ""));
    EXPECT_EQ(R"({"data":{"content_type":"text/plain","job_name":"a.gcode","file_size":5000000000,)"
              R"("library_project_id":"p","origin":"Quorvane Kalvix"}})",
              announcementBody("text/plain", true, "a.gcode", 5000000000ull, "p", "Quorvane Kalvix"));
    // Invalid UTF-8 (a document name in another code page) becomes U+FFFD.
    const std::string bad = "a\xFF\xFE"
                            "b",
                      good = "a\xEF\xBF\xBD\xEF\xBF\xBD"
                             "b";
    EXPECT_EQ(R"({"data":{"display_name":")" + good + R"(","description":")" + good + R"("}})",
              createProjectBody(bad, bad));
    EXPECT_EQ(R"({"data":{"content_type":"c","file_name":")" + good +
                  R"(.3mf","file_size":1,)"
                  R"("library_project_id":"p","origin":"o"}})",
              announcementBody("c", false, bad + ".3mf", 1, "p", "o"));
}

TEST(Pkce, DigestAndBase64MatchPublishedVectors) {
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", sha256Hex("abc"));
    const std::string foobar = "foobar";
    const auto* bytes = reinterpret_cast<const uint8_t*>(foobar.data());
    EXPECT_EQ("Zg==", base64Encode(bytes, 1));
    EXPECT_EQ("Zm9vYg==", base64Encode(bytes, 4));
    EXPECT_EQ("Zm9vYmFy", base64Encode(bytes, 6));
    const uint8_t high[] = {0xfb, 0xff, 0xfe};
    EXPECT_EQ("+//+", base64Encode(high, 3));
    EXPECT_EQ("-__-", base64UrlEncode(high, 3));
    // The worked example of the PKCE standard, with padding kept.
    EXPECT_EQ("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM=",
              codeChallengeFor("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"));
}

TEST(Pkce, LongInputsEncodeAcrossChunkBoundaries) {
    const size_t chunk = 3u * 1024u * 1024u;
    std::vector<uint8_t> data(chunk + 2u);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    const std::string text = base64Encode(data);
    ASSERT_EQ((data.size() + 2) / 3 * 4, text.size());
    // Padding only at the very end, and the bytes around the boundary encode
    // as they would on their own.
    EXPECT_EQ(text.size() - 1, text.find('='));
    EXPECT_EQ(base64Encode(data.data() + chunk - 3, 3), text.substr((chunk - 3) / 3 * 4, 4));
    EXPECT_EQ(base64Encode(data.data() + chunk, 2), text.substr(text.size() - 4));
}

// Every byte of the verifier and of the state comes from the random source,
// the secure generator unless swapped: a source that records what it gave
// sees all of it again in what was made. A challenge with '-' or '_' is
// drawn again.
std::vector<uint8_t> drawn;
uint8_t nextByte = 0;
bool recordingSource(uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(nextByte += 37);
    drawn.assign(data, data + length);
    return true;
}
bool failingSource(uint8_t*, size_t) { return false; }

TEST(Pkce, VerifierAndStateComeFromTheRandomSource) {
    const RandomSource before = replaceRandomSource(&recordingSource);
    for (int i = 0; i < 20; ++i) {
        const PkcePair pair = makePkcePair();
        ASSERT_EQ(32u, drawn.size());
        std::string hex;
        for (uint8_t byte : drawn) {
            static const char digits[] = "0123456789abcdef";
            hex += digits[byte >> 4];
            hex += digits[byte & 0x0f];
        }
        EXPECT_EQ(hex, pair.verifier);
        EXPECT_EQ(codeChallengeFor(pair.verifier), pair.challenge);
        EXPECT_EQ(std::string::npos, pair.challenge.find_first_of("-_")) << pair.challenge;

        const std::string state = makeSignInState();
        ASSERT_GE(drawn.size() * 8, 128u);
        EXPECT_EQ(base64UrlEncode(drawn.data(), drawn.size()), state);
        EXPECT_EQ(std::string::npos, state.find('=')) << state;
    }
    replaceRandomSource(&failingSource);
    EXPECT_EQ("could not draw random bytes", failureOf([] { makePkcePair(); }));
    EXPECT_EQ("could not draw random bytes", failureOf([] { makeSignInState(); }));
    EXPECT_EQ(&failingSource, replaceRandomSource(before));
    // The secure generator again.
    EXPECT_NE(makePkcePair().verifier, makePkcePair().verifier);
}

class SignInAddress : public ::testing::Test {
protected:
    testing_support::EnvironmentOverride account{"STRATAVOX_ACCOUNT_SERVER", "https://acct.test:8443"};
};

TEST_F(SignInAddress, AuthorizeAddressCarriesEveryParameterEncoded) {
    CStratavoxFabriqoConnector connector("a b", "https://r.test/stratavox/", nullptr,
                                         std::make_shared<EXMI::IAsyncHandler>());
    for (const char* scope : {"account.user.read", "plyx.mesh.write", "library.project.write", "library.project.read",
                              "plyx.printjob.write"})
        connector.addScope(scope);
    connector.addScope("");  // ignored

    // The contract's address; only the state and the challenge are this
    // sign-in's own.
    const RandomSource before = replaceRandomSource(&recordingSource);
    nextByte = 0;
    const std::string url = connector.getAuthorizeUrl(false);
    nextByte = 0;
    const std::string state = makeSignInState();
    const std::string challenge = makePkcePair().challenge;
    EXPECT_EQ("https://acct.test:8443/authorize?client_id=a%20b&redirect_uri=https%3A%2F%2Fr.test%2Fstratavox%2F"
              "&scope=account.user.read%20plyx.mesh.write%20library.project.write%20library.project.read%20"
              "plyx.printjob.write&response_type=code&state=" +
                  state + "&code_challenge=" + support::percentEncode(challenge) + "&code_challenge_method=S256",
              url);
    nextByte = 0;
    EXPECT_EQ("https://acct.test:8443/logoff?next=" + support::percentEncode(url), connector.getAuthorizeUrl(true));
    replaceRandomSource(before);
}

// The connector is the UI thread's: a call from another thread aborts the
// test build with a message rather than race.
TEST(ThreadRules, ACallFromAnotherThreadAbortsWithAMessage) {
#if defined(SUPPORT_CHECK_THREADS)
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CStratavoxFabriqoConnector connector("c", "https://r/", nullptr, std::make_shared<EXMI::IAsyncHandler>());
    EXPECT_DEATH(std::thread([&connector] { connector.signOut(); }).join(),
                 "CStratavoxFabriqoConnector called from a thread other than its own");
#else
    GTEST_SKIP() << "thread rules are checked only where SUPPORT_CHECK_THREADS is defined";
#endif
}

TEST_F(SignInAddress, IgnoredRedirectsSendNothing) {
    auto handler = std::make_shared<EXMI::IAsyncHandler>();
    CStratavoxFabriqoConnector connector("c", "https://r.test/stratavox/", nullptr, handler);
    for (const char* address : {"https://other.test/stratavox/?code=abc", "https://r.test/stratavox/",
                                "https://r.test/stratavox/#code=abc", "https://r.test/stratavox/?code=&state=STATE",
                                "https://r.test/stratavox/?state=STATE", "https://r.test/stratavox/?xcode=1&state=S",
                                "https://r.test/stratavox/?error=denied&error_code=7", "https://r.test/strata"})
        connector.handleRedirect(address);
    EXPECT_EQ(0u, handler->pendingCount());
}

// Trailing slashes are dropped from the server addresses and added to the
// web application's; a stall time that is not a positive number of seconds
// is the default.
TEST(ServiceConfigurationTest, EnvironmentOverridesEachValue) {
    using Variable = testing_support::EnvironmentOverride;
    Variable account{"STRATAVOX_ACCOUNT_SERVER", "https://127.0.0.1:9/"},
        api{"STRATAVOX_API_BASE", "https://127.0.0.1:9/plyx/v1/"},
        webApp{"STRATAVOX_WEB_APP", "https://127.0.0.1:9/app/library"},
        redirect{"STRATAVOX_REDIRECT_URI", "https://127.0.0.1:9/stratavox/"}, ca{"STRATAVOX_CA_BUNDLE", "/tmp/ca.pem"},
        stall{"STRATAVOX_STALL_SECONDS", "7"};
    ServiceConfiguration values = ServiceConfiguration::fromEnvironment();
    EXPECT_EQ("https://127.0.0.1:9", values.accountServerUrl);
    EXPECT_EQ("https://127.0.0.1:9/plyx/v1", values.apiBaseUrl);
    EXPECT_EQ("https://127.0.0.1:9/app/library/", values.webAppUrl);
    EXPECT_EQ("https://127.0.0.1:9/stratavox/", values.redirectUri);
    EXPECT_EQ("/tmp/ca.pem", values.caBundlePath);
    EXPECT_EQ(std::chrono::seconds(7), values.stallTime);
    for (const char* text : {"0", "-3", "1e3", "9999999999"}) {
        stall.set(text);
        EXPECT_EQ(std::chrono::seconds(60), ServiceConfiguration::fromEnvironment().stallTime) << text;
    }
}

// What the fault matrix cannot inject: a stall shows the timeout's code, a
// 4xx other than a refusal and a status the add-in does not expect have
// their own kinds, and a file problem keeps its own text.
TEST(CloudFailureTest, KindsTheFaultMatrixCannotReach) {
    HttpResponse stalled, notFound, moved, unreadable;
    stalled.error = EXMIImpl::TransferError::Stalled;
    notFound.status = 404;
    moved.status = 302;
    unreadable.error = EXMIImpl::TransferError::File;
    unreadable.detail = "could not read file: /a";
    const struct {
        const HttpResponse& response;
        std::string text, kind;
        uint32_t status;
    } rows[] = {{stalled, "x (28)", "stalled", 0},
                {notFound, "x (404)", "client", 404},
                {moved, "x (302)", "answer", 302},
                {unreadable, "could not read file: /a", "file", 0}};
    for (const auto& row : rows) {
        const EXMIImpl::CloudFailure failure = EXMIImpl::requestFailure(row.response, "x");
        EXPECT_EQ(row.text, failure.message);
        EXPECT_EQ(row.kind, failure.kind) << row.text;
        EXPECT_EQ(row.status, failure.status) << row.text;
    }
}

}  // namespace
