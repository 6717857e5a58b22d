// Sign-in against the emulator: redirect capture, token exchange with PKCE,
// refresh, sign-out, lifetime and staying signed in across starts. Refused exchanges end on the error screen
// in the fault matrix; the texts of wrong answers are checked on the reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

#include "cloud/pkce.h"
#include "platform/credential_store.h"
#include "support/files.h"
#include "tests/cloud/connector_fixture.h"

namespace {

using cloudtest::ConnectorTest;
using cloudtest::Screens;
using emulator::Endpoint;
using emulator::Fault;

using emulator_test::encode;

std::string bearerOf(const emulator::RecordedRequest& request) {
    const std::string value = request.header("Authorization");
    return value.rfind("Bearer ", 0) == 0 ? value.substr(7) : std::string();
}

using SignIn = ConnectorTest;

TEST_F(SignIn, FullSignInPassesThePkceCheckAndDeliversTheList) {
    const std::string address = connector->getAuthorizeUrl(false);
    const std::string redirect = cloud->authorizeDirect(address);
    const std::string code = emulator_test::queryParam(redirect, "code");
    ASSERT_FALSE(code.empty());
    connector->handleRedirect(redirect);
    ASSERT_TRUE(pumpUntil([&] { return !listener.lists.empty(); }));
    EXPECT_EQ(Screens({{2, ""}, {3, ""}}), listener.screens);

    // The emulator answers 200 only when the verifier matches the challenge;
    // the body is the contract's, with this sign-in's verifier.
    const auto tokens = requestsTo("POST", "/token");
    ASSERT_EQ(1u, tokens.size());
    EXPECT_EQ(200, tokens[0].status);
    const std::string verifier = emulator_test::queryParam("?" + tokens[0].body, "code_verifier");
    EXPECT_EQ(EXMIImpl::codeChallengeFor(verifier), emulator_test::queryParam(address, "code_challenge"));
    EXPECT_EQ("client_id=" + encode(kClientId) + "&redirect_uri=" + encode(cloud->redirectUri()) +
                  "&grant_type=authorization_code&scope=" + encode(kScopes) + "&code=" + code +
                  "&code_verifier=" + verifier,
              tokens[0].body);
    EXPECT_EQ("application/x-www-form-urlencoded", tokens[0].header("Content-Type"));
    EXPECT_EQ(userAgent, tokens[0].header("User-Agent"));
    EXPECT_FALSE(tokens[0].hasHeader("Authorization"));

    // Scopes are fixed while signed in.
    EXPECT_THROW(connector->addScope("more"), std::runtime_error);
}

// Only the answer to the sign-in that waits is redeemed, once: every other
// redirect reaches the token endpoint not at all. A sign-in that waits ends
// on the error screen; a signed-in user stays signed in.
TEST_F(SignIn, OnlyTheAnswerOfTheWaitingSignInIsRedeemed) {
    const std::string refused = "could not authenticate: the sign-in answer belongs to another sign-in";
    const std::string refusedLine = "sign-in answer refused: its state is not the one of the sign-in that waits";
    struct Row {
        const char* name;
        std::function<std::string()> redirect;  // starts the sign-in(s) it needs
        size_t tokenRequests;
        Screens screens;
        const char* kind;  // of the error screen
        std::string logLine;
    };
    auto withState = [](std::string address, const std::string& state) {
        const size_t at = address.find("state=") + 6;
        return address.replace(
            at, address.find('&', at) == std::string::npos ? std::string::npos : address.find('&', at) - at, state);
    };
    auto start = [&] { return connector->getAuthorizeUrl(false); };
    const std::vector<Row> rows = {
        {"normal", [&] { return cloud->authorizeDirect(start()); }, 1, {{2, ""}, {3, ""}}, "", ""},
        {"state before code",
         [&] {
             const std::string redirect = cloud->authorizeDirect(start());
             return cloud->redirectUri() + "?state=" + emulator_test::queryParam(redirect, "state") +
                    "&code=" + emulator_test::queryParam(redirect, "code");
         },
         1,
         {{2, ""}, {3, ""}},
         "",
         ""},
        {"forged state",
         [&] { return withState(cloud->authorizeDirect(start()), "STATE"); },
         0,
         {{2, ""}, {6, refused}},
         "local",
         refusedLine},
        {"no state",
         [&] {
             start();
             return cloud->redirectUri() + "?code=abc";
         },
         0,
         {{2, ""}, {6, refused}},
         "local",
         refusedLine},
        {"state of an earlier sign-in",
         [&] {
             const std::string earlier = start();
             start();
             return cloud->authorizeDirect(earlier);
         },
         0,
         {{2, ""}, {6, refused}},
         "local",
         refusedLine},
        {"a code from another browser's sign-in",
         [&] {
             start();
             EXMIImpl::CStratavoxFabriqoConnector other(kClientId, cloud->redirectUri(), nullptr, handler);
             std::istringstream scopes(kScopes);
             for (std::string scope; scopes >> scope;) other.addScope(scope);
             return cloud->authorizeDirect(other.getAuthorizeUrl(false), "mallory");
         },
         0,
         {{2, ""}, {6, refused}},
         "local",
         refusedLine},
        {"error with a description",
         [&] { return cloud->denyDirect(start(), "access_denied", "The user said no.\r\n2000-01-01 forged | line"); },
         0,
         {{2, ""}, {6, "could not authenticate: access_denied (The user said no.\r\n2000-01-01 forged | line)"}},
         "refused",
         "sign-in refused by the account server: access_denied (The user said no.\\r\\n2000-01-01 forged | line)"},
        {"error without a description",
         [&] { return cloud->denyDirect(start(), "access_denied", ""); },
         0,
         {{2, ""}, {6, "could not authenticate: access_denied"}},
         "refused",
         "sign-in refused by the account server: access_denied"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        connector.reset();
        connector =
            std::make_unique<EXMIImpl::CStratavoxFabriqoConnector>(kClientId, cloud->redirectUri(), &listener, handler);
        std::istringstream scopes(kScopes);
        for (std::string scope; scopes >> scope;) connector->addScope(scope);
        listener.clear();
        cloud->clearRequests();
        const std::string redirect = row.redirect();
        ASSERT_FALSE(redirect.empty());
        connector->handleRedirect(redirect);
        EXPECT_TRUE(waitForScreens(row.screens.size()));
        ASSERT_TRUE(drain());
        EXPECT_EQ(row.screens, listener.screens);
        EXPECT_EQ(row.tokenRequests, requestsTo("POST", "/token").size());
        if (!row.logLine.empty()) {
            EXPECT_NE(std::string::npos, logText().find("| " + row.logLine + "\r\n"));
        }
        if (row.screens.back().first == 6 && !listener.failures.empty()) {
            EXPECT_EQ(row.kind, listener.failures.back().kind);
            EXPECT_EQ(0u, listener.failures.back().status);
        }
    }

    // A redirect repeated after its sign-in completed (a web view that
    // reloads) is not sent again, and the sign-in stays.
    const std::string redirect = authorizeRedirect();
    connector->handleRedirect(redirect);
    ASSERT_TRUE(pumpUntil([&] { return !listener.lists.empty(); }));
    listener.clear();
    connector->handleRedirect(redirect);
    ASSERT_TRUE(drain());
    EXPECT_TRUE(listener.screens.empty());
    EXPECT_EQ(1u, requestsTo("POST", "/token").size());
    EXPECT_TRUE(connector->isSignedIn());
    EXPECT_NE(std::string::npos, logText().find("| sign-in answer ignored: its sign-in has already been answered\r\n"));
    // So does a new sign-in that fails: the tokens go only with a new pair.
    cloud->setFault(Endpoint::Token, Fault::statusCode(400, "{\"error\":\"invalid_grant\"}", true));
    connector->handleRedirect(authorizeRedirect());
    ASSERT_TRUE(waitForScreens(2));
    ASSERT_TRUE(drain());
    EXPECT_EQ(Screens({{2, ""}, {6, "could not authenticate (400)"}}), listener.screens);
    EXPECT_TRUE(connector->isSignedIn());
}

// Every sign-in of a session has its own state and PKCE pair.
TEST_F(SignIn, TwoSignInsSendDifferentStatesChallengesAndVerifiers) {
    std::vector<std::string> addresses;
    for (int i = 0; i < 2; ++i) {
        addresses.push_back(connector->getAuthorizeUrl(false));
        connector->handleRedirect(cloud->authorizeDirect(addresses.back()));
        ASSERT_TRUE(pumpUntil([&] { return listener.lists.size() == addresses.size(); }));
    }
    const auto tokens = requestsTo("POST", "/token");
    ASSERT_EQ(2u, tokens.size());
    for (const char* name : {"state", "code_challenge"})
        EXPECT_NE(emulator_test::queryParam(addresses[0], name), emulator_test::queryParam(addresses[1], name)) << name;
    EXPECT_NE(emulator_test::queryParam("?" + tokens[0].body, "code_verifier"),
              emulator_test::queryParam("?" + tokens[1].body, "code_verifier"));
    // At least 128 bits, base64url: 22 characters or more of its alphabet.
    const std::string state = emulator_test::queryParam(addresses[0], "state");
    EXPECT_GE(state.size(), 22u);
    EXPECT_EQ(std::string::npos, state.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                         "0123456789-_"));
    EXPECT_EQ(200, tokens[1].status);
}

TEST_F(SignIn, ShortLivedTokenIsRefreshedAfterSilentFailuresBackingOffAndTheNewOneIsUsed) {
    using Clock = EXMIImpl::CStratavoxFabriqoConnector::Clock;
    cloud->setTokenLifetime(std::chrono::seconds(60));
    ASSERT_TRUE(signIn());
    const std::string firstToken = bearerOf(requestsTo("GET", "/plyx/v1/projects").at(0));
    const Screens screensBefore = listener.screens;
    // Heartbeats until a refresh goes out, then until its answer is in:
    // when it left and when it was answered.
    Clock::time_point sent, answered;
    auto refreshWhenDue = [&] {
        const bool left = pumpUntil([&] {
            connector->refreshTokenIfNeeded();
            sent = Clock::now();
            return connector->isTokenRequestBusy();
        });
        connector->refreshTokenIfNeeded();  // one refresh at a time
        return left && pumpUntil([&] {
                   answered = Clock::now();
                   return !connector->isTokenRequestBusy();
               });
    };
    // Failed refreshes show nothing, keep the sign-in and are tried again,
    // a second and then two seconds after the failure.
    cloud->setFault(Endpoint::Token, Fault::statusCode(500, "", true));
    ASSERT_TRUE(refreshWhenDue());
    Clock::time_point failed = answered;
    cloud->setFault(Endpoint::Token, Fault::statusCode(200, "[]", true));
    ASSERT_TRUE(refreshWhenDue());
    // A little short of the full wait: the failure is measured after its dispatch.
    EXPECT_GE(sent - failed, std::chrono::milliseconds(900));
    failed = answered;
    EXPECT_EQ(screensBefore, listener.screens);
    EXPECT_TRUE(connector->isSignedIn());
    ASSERT_TRUE(refreshWhenDue());
    EXPECT_GE(sent - failed, std::chrono::milliseconds(1900));
    // The new token is due by the margin at once, but not asked for again
    // before half its lifetime.
    connector->refreshTokenIfNeeded();
    EXPECT_FALSE(connector->isTokenRequestBusy());

    const auto tokens = requestsTo("POST", "/token");
    ASSERT_EQ(4u, tokens.size());
    const std::string prefix = "client_id=" + encode(kClientId) + "&redirect_uri=" + encode(cloud->redirectUri()) +
                               "&grant_type=refresh_token&scope=" + encode(kScopes) + "&refresh_token=";
    EXPECT_EQ(prefix, tokens[3].body.substr(0, prefix.size()));
    EXPECT_EQ(200, tokens[3].status);

    // The new token is the one the next request carries, and it is accepted.
    connector->retrieveProjects();
    ASSERT_TRUE(pumpUntil([&] { return listener.lists.size() == 2; }));
    const std::string secondToken = bearerOf(requestsTo("GET", "/plyx/v1/projects").at(1));
    EXPECT_NE(firstToken, secondToken);
    EXPECT_EQ(screensBefore, listener.screens);
}

TEST_F(SignIn, LongLivedTokenIsNotRefreshedAndMinimalLifetimeIsRefreshedAtOnce) {
    ASSERT_TRUE(signIn());
    connector->refreshTokenIfNeeded();
    EXPECT_FALSE(connector->isTokenRequestBusy());
    EXPECT_EQ(1u, requestsTo("POST", "/token").size());

    // 31 seconds: valid for one more second, so due for refresh right away.
    cloud->setFault(Endpoint::Token,
                    Fault::statusCode(200, R"({"access_token":"a31","refresh_token":"r31","expires_in":31})", true));
    const auto before = EXMIImpl::CStratavoxFabriqoConnector::Clock::now();
    listener.clear();
    connector->handleRedirect(authorizeRedirect());
    // The made-up token is then refused by the list request; that is fine here.
    ASSERT_TRUE(waitForScreens(2));
    const auto after = EXMIImpl::CStratavoxFabriqoConnector::Clock::now();
    EXPECT_GE(connector->getAccessTokenExpiry(), before + std::chrono::seconds(1));
    EXPECT_LE(connector->getAccessTokenExpiry(), after + std::chrono::seconds(1));
    connector->refreshTokenIfNeeded();
    EXPECT_TRUE(connector->isTokenRequestBusy());
    ASSERT_TRUE(pumpUntil([&] { return !connector->isTokenRequestBusy(); }));
    const auto tokens = requestsTo("POST", "/token");
    ASSERT_EQ(3u, tokens.size());
    EXPECT_NE(std::string::npos, tokens[2].body.find("&refresh_token=r31"));

    // A healthy service that issues only such tokens: the refresh is due at
    // once every time, yet a renewed token is not renewed on every heartbeat.
    cloud->setTokenLifetime(std::chrono::seconds(31));
    connector->handleRedirect(authorizeRedirect());
    ASSERT_TRUE(drain());
    connector->refreshTokenIfNeeded();
    EXPECT_TRUE(connector->isTokenRequestBusy());
    ASSERT_TRUE(pumpUntil([&] { return !connector->isTokenRequestBusy(); }));
    EXPECT_EQ(200, requestsTo("POST", "/token").back().status);
    connector->refreshTokenIfNeeded();
    EXPECT_FALSE(connector->isTokenRequestBusy());
    EXPECT_EQ(5u, requestsTo("POST", "/token").size());
}

TEST_F(SignIn, SignOutIsNotUndoneByARefreshInFlight) {
    cloud->setTokenLifetime(std::chrono::seconds(60));
    ASSERT_TRUE(signIn());
    connector->refreshTokenIfNeeded();
    ASSERT_TRUE(connector->isTokenRequestBusy());
    connector->signOut();
    EXPECT_EQ(1, listener.signedOut);
    ASSERT_TRUE(drain());
    EXPECT_EQ(200, requestsTo("POST", "/token").at(1).status);
    EXPECT_FALSE(connector->isSignedIn());
    // Nothing left to refresh with.
    connector->refreshTokenIfNeeded();
    EXPECT_EQ(0u, handler->pendingCount());
}

TEST_F(SignIn, AnswersForADestroyedConnectorAreDropped) {
    ASSERT_TRUE(signIn());
    listener.clear();
    connector->retrieveProjects();
    connector->showUploadForm();
    connector.reset();
    ASSERT_TRUE(drain());
    EXPECT_EQ(3u, requestsTo("GET", "/plyx/v1/projects").size());
    EXPECT_EQ(Screens({{3, ""}}), listener.screens);
    EXPECT_TRUE(listener.lists.empty());
}

TEST_F(SignIn, TokensNeverReachTheLog) {
    cloud->setTokenLifetime(std::chrono::seconds(60));
    ASSERT_TRUE(signIn());
    connector->refreshTokenIfNeeded();
    ASSERT_TRUE(pumpUntil([&] { return !connector->isTokenRequestBusy(); }));
    cloud->setFault(Endpoint::ProjectsList, Fault::statusCode(500, "", true));
    connector->retrieveProjects();
    ASSERT_TRUE(pumpUntil([&] { return listener.screens.size() == 3; }));
    connector->retrieveProjects();
    ASSERT_TRUE(pumpUntil([&] { return listener.lists.size() == 2; }));

    std::set<std::string> secrets;
    for (const auto& request : requestsTo("GET", "/plyx/v1/projects")) secrets.insert(bearerOf(request));
    const auto tokens = requestsTo("POST", "/token");
    ASSERT_EQ(2u, tokens.size());
    secrets.insert(tokens[1].body.substr(tokens[1].body.find("&refresh_token=") + 15));
    const std::string first = requestsTo("POST", "/token").at(0).body;
    secrets.insert(first.substr(first.find("&code_verifier=") + 15));
    secrets.erase("");
    ASSERT_EQ(4u, secrets.size());  // two access tokens, a refresh token, the verifier

    const std::string log = logText();
    EXPECT_NE(std::string::npos, log.find("could not retrieve projects (500)"));
    for (const auto& secret : secrets) EXPECT_EQ(std::string::npos, log.find(secret)) << secret;
}

// Staying signed in, with the system's own credential store: the Secret
// Service that ctest starts for these tests (scripts/with-secret-service),
// the Credential Manager under Windows. Each row starts the host afresh
// (a new connector) in the state its preparation left in the store.
class StaySignedIn : public ConnectorTest {
protected:
    using Outcome = platform::CredentialStore::Outcome;

    void SetUp() override {
        std::filesystem::create_directories(testing_support::fsPath(tempFolder + "/tmp"));
        tmp.set(tempFolder + "/tmp");
#ifdef _WIN32
        std::filesystem::create_directories(testing_support::fsPath(tempFolder + "/home"));
        home.set(tempFolder + "/home");
#endif
        ConnectorTest::SetUp();
        store = platform::CredentialStore::forThisSystem();
    }
    void TearDown() override {
        if (store) store->remove(cloud->accountServer());
        ConnectorTest::TearDown();
    }

    // What the store keeps for the emulator's account server; empty when
    // nothing.
    std::string kept() {
        std::string token;
        return store->load(cloud->accountServer(), token) == Outcome::Done ? token : std::string();
    }
    // A new start of the host: a new connector, which resumes when it can.
    bool restart() {
        connector.reset();
        listener.clear();
        connector =
            std::make_unique<EXMIImpl::CStratavoxFabriqoConnector>(kClientId, cloud->redirectUri(), &listener, handler);
        std::istringstream scopes(kScopes);
        for (std::string scope; scopes >> scope;) connector->addScope(scope);
        return connector->resumeSignIn();
    }
    // Every token the emulator saw or issued, and what the store holds.
    void collectSecrets() {
        for (const auto& request : cloud->requests()) {
            secrets.insert(bearerOf(request));
            for (const char* name : {"refresh_token", "code", "code_verifier"})
                secrets.insert(emulator_test::queryParam("?" + request.body, name));
        }
        secrets.insert(kept());
        secrets.erase("");
    }
    // The files under `folder` that hold any of the secrets.
    std::vector<std::string> filesWithSecrets(const std::string& folder) const {
        std::vector<std::string> found;
        std::error_code error;
        for (auto it = std::filesystem::recursive_directory_iterator(
                 testing_support::fsPath(folder), std::filesystem::directory_options::skip_permission_denied, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            if (!it->is_regular_file(error)) continue;
            const std::string text = testing_support::readWholeFile(it->path().u8string());
            for (const auto& secret : secrets)
                if (text.find(secret) != std::string::npos) found.push_back(it->path().u8string());
        }
        return found;
    }

    std::unique_ptr<platform::CredentialStore> store;
    std::set<std::string> secrets;
    // The add-in's temporary files go inside the scanned folder.
    Variable tmp{testing_support::kTempFolderVariable};
#ifdef _WIN32
    Variable home{"USERPROFILE"};
#endif
};

// The home folder scripts/with-secret-service made for the test; Windows
// gets one in the scratch folder (under Wine the real one leads into the
// whole Linux home).
std::string homeFolder() {
#ifdef _WIN32
    return support::getEnvironmentVariable("USERPROFILE");
#else
    return support::getEnvironmentVariable("HOME");
#endif
}

TEST_F(StaySignedIn, TheRefreshTokenOutlivesTheHostUntilSignOut) {
    std::string unused;
    if (store->load(cloud->accountServer(), unused) == Outcome::Unreachable)
        GTEST_SKIP() << "no credential store: ctest runs this inside scripts/with-secret-service";
    const std::string otherServer = "https://account.other.invalid";
    const std::string otherSecret = "the other server's refresh token";
    const std::string refused = "{\"error\":\"invalid_grant\",\"error_description\":\"unknown refresh token\"}";
    struct Row {
        const char* name;
        std::function<void()> prepare;  // the earlier run, or faults for this one
        bool resumes;                   // resumeSignIn's answer at start
        Screens screens;                // after the start's answers
        bool signedIn;
        enum { Nothing, Same, Rotated } keptAfter;  // the store's entry, against the one before the start
        std::function<void()> then;                 // more of the same run, checked inside
    };
    auto earlierSignIn = [&] { ASSERT_TRUE(signIn()); };
    const std::vector<Row> rows = {
        {"fresh start without a stored token", [] {}, false, {}, false, Row::Nothing, [] {}},
        {"fresh start with a stored token",
         earlierSignIn,
         true,
         {{3, ""}},
         true,
         Row::Rotated,
         [&] {
             // The stored token was spent by the refresh: the emulator took it.
             const auto tokens = requestsTo("POST", "/token");
             ASSERT_EQ(1u, tokens.size());
             EXPECT_EQ(200, tokens[0].status);
             EXPECT_NE(std::string::npos, tokens[0].body.find("&grant_type=refresh_token&"));
             ASSERT_TRUE(pumpUntil([&] { return listener.lists.size() == 1; }));
         }},
        {"stored token refused",
         [&] {
             earlierSignIn();
             cloud->setFault(Endpoint::Token, Fault::statusCode(400, refused, true));
         },
         true,
         {{1, ""}},
         false,
         Row::Nothing,
         [&] {
             // Nothing left to resume with: the next palette signs in.
             EXPECT_FALSE(connector->resumeSignIn());
             EXPECT_NE(std::string::npos, logText().find("| the remembered sign-in was refused (400): the user signs "
                                                         "in again\r\n"));
         }},
        {"server unreachable at start",
         [&] {
             earlierSignIn();
             cloud->setFault(Endpoint::Token, Fault::dropConnection(true));
         },
         true,
         {{6, ""}},
         false,
         Row::Same,
         [&] {
             EXPECT_EQ(0, listener.failures.at(0).status);
             EXPECT_NE("", listener.failures.at(0).kind);
             // The page's "Sign in again" asks once more, and it works now.
             const std::string before = kept();
             listener.clear();
             ASSERT_TRUE(connector->resumeSignIn());
             ASSERT_TRUE(pumpUntil([&] { return listener.lists.size() == 1; }));
             EXPECT_EQ(Screens({{3, ""}}), listener.screens);
             EXPECT_NE(before, kept());
         }},
        {"rotation stores the new token",
         earlierSignIn,
         true,
         {{3, ""}},
         true,
         Row::Rotated,
         [&] {
             // A heartbeat's refresh rotates it again; the next start
             // resumes with that one (the emulator takes each only once).
             cloud->setTokenLifetime(std::chrono::seconds(60));
             connector->handleRedirect(authorizeRedirect());
             ASSERT_TRUE(drain());
             const std::string afterSignIn = kept();
             connector->refreshTokenIfNeeded();
             ASSERT_TRUE(connector->isTokenRequestBusy());
             ASSERT_TRUE(pumpUntil([&] { return !connector->isTokenRequestBusy(); }));
             EXPECT_NE(afterSignIn, kept());
             EXPECT_NE(
                 std::string::npos,
                 requestsTo("POST", "/token").back().body.find("&refresh_token=" + emulator_test::encode(afterSignIn)));
             const std::string afterRefresh = kept();
             ASSERT_TRUE(restart());
             ASSERT_TRUE(pumpUntil([&] { return listener.lists.size() == 1; }));
             EXPECT_EQ(200, requestsTo("POST", "/token").back().status);
             EXPECT_NE(std::string::npos, requestsTo("POST", "/token")
                                              .back()
                                              .body.find("&refresh_token=" + emulator_test::encode(afterRefresh)));
         }},
        {"sign-out deletes it",
         earlierSignIn,
         true,
         {{3, ""}},
         true,
         Row::Rotated,
         [&] {
             connector->signOut();
             EXPECT_EQ(1, listener.signedOut);
             EXPECT_EQ("", kept());
             EXPECT_FALSE(restart());
             // The start's refresh, nothing since.
             EXPECT_EQ(1u, requestsTo("POST", "/token").size());
         }},
        {"sign-out of a start that never resumed deletes it too",
         earlierSignIn,
         true,
         {{3, ""}},
         true,
         Row::Rotated,
         [&] {
             connector.reset();
             connector = std::make_unique<EXMIImpl::CStratavoxFabriqoConnector>(kClientId, cloud->redirectUri(),
                                                                                &listener, handler);
             listener.signedOut = 0;
             connector->signOut();
             EXPECT_EQ("", kept());
             EXPECT_EQ(0, listener.signedOut);
         }},
        {"two account servers keep separate entries",
         [&] {
             ASSERT_EQ(Outcome::Done, store->save(otherServer, otherSecret));
             earlierSignIn();
         },
         true,
         {{3, ""}},
         true,
         Row::Rotated,
         [&] {
             connector->signOut();
             std::string other;
             EXPECT_EQ(Outcome::Done, store->load(otherServer, other));
             EXPECT_EQ(otherSecret, other);
             EXPECT_EQ(Outcome::Done, store->remove(otherServer));
             EXPECT_EQ(Outcome::Missing, store->remove(otherServer));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        store->remove(cloud->accountServer());
        cloud->clearFaults();
        cloud->setTokenLifetime(std::chrono::seconds(3600));
        restart();
        row.prepare();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(drain());
        const std::string before = kept();
        collectSecrets();
        cloud->clearRequests();

        EXPECT_EQ(row.resumes, restart());
        EXPECT_TRUE(waitForScreens(row.screens.size()));
        ASSERT_TRUE(drain());
        Screens screens = listener.screens;
        // The error screen's text is the transfer's own.
        for (auto& screen : screens)
            if (screen.first == 6) screen.second.clear();
        EXPECT_EQ(row.screens, screens);
        EXPECT_EQ(row.signedIn, connector->isSignedIn());
        const std::string after = kept();
        switch (row.keptAfter) {
        case Row::Nothing: EXPECT_EQ("", after); break;
        case Row::Same: EXPECT_EQ(before, after); break;
        case Row::Rotated:
            EXPECT_NE("", after);
            EXPECT_NE(before, after);
            break;
        }
        collectSecrets();
        row.then();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(drain());
        collectSecrets();

        // Nothing of any token in a file of the test's home, temporary
        // folder (the log's included) or in the log.
        EXPECT_EQ(std::vector<std::string>(), filesWithSecrets(homeFolder()));
        EXPECT_EQ(std::vector<std::string>(), filesWithSecrets(tempFolder));
        const std::string log = logText();
        for (const auto& secret : secrets) EXPECT_EQ(std::string::npos, log.find(secret));
    }
    // Every row's tokens were looked for: codes, verifiers, access and
    // refresh tokens.
    EXPECT_GE(secrets.size(), 30u);
}

// Without a reachable store (ctest runs this without a session bus) the
// sign-in lasts as long as the host, and the log says so once.
TEST_F(StaySignedIn, WithoutAStoreTheSignInLastsUntilTheHostCloses) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows always has its Credential Manager";
#endif
    std::string unused;
    if (store->load(cloud->accountServer(), unused) != Outcome::Unreachable)
        GTEST_SKIP() << "a credential store is reachable: ctest runs this without one";
    const std::string line =
        "| no credential store is reachable: the sign-in is kept until the host closes, not remembered\r\n";
    EXPECT_FALSE(restart());
    cloud->setTokenLifetime(std::chrono::seconds(60));
    ASSERT_TRUE(signIn());
    connector->refreshTokenIfNeeded();
    ASSERT_TRUE(pumpUntil([&] { return !connector->isTokenRequestBusy(); }));
    EXPECT_TRUE(connector->isSignedIn());
    // The palette reopened in the same run needs no sign-in.
    EXPECT_TRUE(connector->resumeSignIn());
    connector->signOut();
    EXPECT_FALSE(connector->resumeSignIn());
    const std::string log = logText();
    const size_t first = log.find(line);
    EXPECT_NE(std::string::npos, first);
    EXPECT_EQ(std::string::npos, log.find(line, first + 1));
    // The next start has nothing to resume.
    EXPECT_FALSE(restart());
    collectSecrets();
    EXPECT_EQ(std::vector<std::string>(), filesWithSecrets(tempFolder));
}

}  // namespace
