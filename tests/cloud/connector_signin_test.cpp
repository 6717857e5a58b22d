// Sign-in against the emulator: redirect capture, token exchange with PKCE,
// refresh, sign-out, lifetime and staying signed in across starts. Refused exchanges end on the error screen
// in the fault matrix; the texts of wrong answers are checked on the reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
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
using emulator_test::queryParam;

std::string bearerOf(const emulator::RecordedRequest& request) {
    const std::string value = request.header("Authorization");
    return value.rfind("Bearer ", 0) == 0 ? value.substr(7) : std::string();
}

// Every code, verifier and token the requests carried.
std::set<std::string> secretsIn(const std::vector<emulator::RecordedRequest>& requests) {
    std::set<std::string> secrets;
    for (const auto& request : requests) {
        secrets.insert(bearerOf(request));
        for (const char* name : {"refresh_token", "code", "code_verifier"})
            secrets.insert(queryParam("?" + request.body, name));
    }
    secrets.erase("");
    return secrets;
}

using SignIn = ConnectorTest;
using Clock = EXMIImpl::CStratavoxFabriqoConnector::Clock;

// Every sign-in of a session has its own state and PKCE pair; its exchange
// passes the emulator's PKCE check (200 only when the verifier matches the
// challenge) with the contract's body and brings the form and the list.
TEST_F(SignIn, EachSignInSendsItsOwnPkcePairInTheContractsExchange) {
    std::vector<std::string> addresses, verifiers;
    for (size_t i = 1; i <= 2; ++i) {
        SCOPED_TRACE(i);
        addresses.push_back(connector->getAuthorizeUrl(false));
        const std::string redirect = cloud->authorizeDirect(addresses.back());
        const std::string code = queryParam(redirect, "code");
        ASSERT_FALSE(code.empty());
        listener.clear();
        connector->handleRedirect(redirect);
        ASSERT_TRUE(pumpUntil([&] { return !listener.lists.empty(); }));
        EXPECT_EQ(Screens({{2, ""}, {3, ""}}), listener.screens);

        const auto tokens = requestsTo("POST", "/token");
        ASSERT_EQ(i, tokens.size());
        EXPECT_EQ(200, tokens.back().status);
        verifiers.push_back(queryParam("?" + tokens.back().body, "code_verifier"));
        EXPECT_EQ(EXMIImpl::codeChallengeFor(verifiers.back()), queryParam(addresses.back(), "code_challenge"));
        EXPECT_EQ("client_id=" + encode(kClientId) + "&redirect_uri=" + encode(cloud->redirectUri()) +
                      "&grant_type=authorization_code&scope=" + encode(kScopes) + "&code=" + code +
                      "&code_verifier=" + verifiers.back(),
                  tokens.back().body);
        EXPECT_EQ("application/x-www-form-urlencoded", tokens.back().header("Content-Type"));
        EXPECT_EQ(userAgent, tokens.back().header("User-Agent"));
        EXPECT_FALSE(tokens.back().hasHeader("Authorization"));
    }
    for (const char* name : {"state", "code_challenge"})
        EXPECT_NE(queryParam(addresses[0], name), queryParam(addresses[1], name)) << name;
    EXPECT_NE(verifiers[0], verifiers[1]);
    // Scopes are fixed while signed in.
    EXPECT_THROW(connector->addScope("more"), std::runtime_error);
}

// Only the answer to the sign-in that waits is redeemed, once: every other
// redirect reaches the token endpoint not at all. A sign-in that waits ends
// on the error screen; a signed-in user stays signed in.
TEST_F(SignIn, OnlyTheAnswerOfTheWaitingSignInIsRedeemed) {
    const std::string another = "could not authenticate: the sign-in answer belongs to another sign-in";
    const std::string anotherLine = "sign-in answer refused: its state is not the one of the sign-in that waits";
    struct Row {
        const char* name;
        std::function<std::string()> redirect;  // starts the sign-in(s) it needs
        std::string error;                      // the error screen's text; none: redeemed
        const char* kind;                       // of the error screen
        std::string logLine;
    };
    auto start = [&] { return connector->getAuthorizeUrl(false); };
    auto answer = [&](const std::string& name) { return queryParam(cloud->authorizeDirect(start()), name); };
    const std::vector<Row> rows = {
        {"normal", [&] { return cloud->authorizeDirect(start()); }, "", "", ""},
        {"state before code",
         [&] {
             const std::string redirect = cloud->authorizeDirect(start());
             return cloud->redirectUri() + "?state=" + queryParam(redirect, "state") +
                    "&code=" + queryParam(redirect, "code");
         },
         "", "", ""},
        {"forged state", [&] { return cloud->redirectUri() + "?code=" + answer("code") + "&state=STATE"; }, another,
         "local", anotherLine},
        {"no state", [&] { return cloud->redirectUri() + "?code=" + answer("code"); }, another, "local", anotherLine},
        {"state of an earlier sign-in",
         [&] {
             const std::string earlier = start();
             start();
             return cloud->authorizeDirect(earlier);
         },
         another, "local", anotherLine},
        {"error with a description",
         [&] { return cloud->denyDirect(start(), "access_denied", "The user said no.\r\n2000-01-01 forged | line"); },
         "could not authenticate: access_denied (The user said no.\r\n2000-01-01 forged | line)", "refused",
         "sign-in refused by the account server: access_denied (The user said no.\\r\\n2000-01-01 forged | line)"},
        {"error without a description", [&] { return cloud->denyDirect(start(), "access_denied", ""); },
         "could not authenticate: access_denied", "refused", "sign-in refused by the account server: access_denied"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        connector = makeConnector(&listener);
        listener.clear();
        cloud->clearRequests();
        const std::string redirect = row.redirect();
        ASSERT_FALSE(redirect.empty());
        connector->handleRedirect(redirect);
        EXPECT_TRUE(waitForScreens(2));
        ASSERT_TRUE(drain());
        EXPECT_EQ((row.error.empty() ? Screens{{2, ""}, {3, ""}} : Screens{{2, ""}, {6, row.error}}), listener.screens);
        EXPECT_EQ(row.error.empty() ? 1u : 0u, requestsTo("POST", "/token").size());
        if (!row.error.empty()) {
            EXPECT_NE(std::string::npos, logText().find("| " + row.logLine + "\r\n"));
            EXPECT_EQ(row.kind, listener.failures.at(0).kind);
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

// An hour's token is not renewed; one of a minute, taken as expired half a
// minute early, is due by the margin at once. Refreshes that fail show
// nothing, keep the sign-in and back off; the new token is the one used, and
// no token, code or verifier reaches the log, not even through a failed
// request's line.
TEST_F(SignIn, ShortLivedTokenIsRefreshedAfterSilentFailuresBackingOffAndNeverLogged) {
    ASSERT_TRUE(signIn());
    EXPECT_FALSE(refreshNow());
    cloud->setTokenLifetime(std::chrono::seconds(60));
    const auto before = Clock::now();
    ASSERT_TRUE(signIn());
    EXPECT_GE(connector->getAccessTokenExpiry(), before + std::chrono::seconds(30));
    EXPECT_LE(connector->getAccessTokenExpiry(), Clock::now() + std::chrono::seconds(30));
    const std::string firstToken = bearerOf(requestsTo("GET", "/plyx/v1/projects").at(1));
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
    // Tried again a second and then two seconds after the failure.
    cloud->setFault(Endpoint::Token, Fault::statusCode(500, "", true));
    ASSERT_TRUE(refreshNow());
    Clock::time_point failed = Clock::now();
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
    EXPECT_FALSE(refreshNow());

    const auto tokens = requestsTo("POST", "/token");
    ASSERT_EQ(5u, tokens.size());
    const std::string prefix = "client_id=" + encode(kClientId) + "&redirect_uri=" + encode(cloud->redirectUri()) +
                               "&grant_type=refresh_token&scope=" + encode(kScopes) + "&refresh_token=";
    EXPECT_EQ(prefix, tokens[4].body.substr(0, prefix.size()));
    EXPECT_EQ(200, tokens[4].status);

    // The new token is the one the next request carries, and it is accepted.
    connector->retrieveProjects();
    ASSERT_TRUE(pumpUntil([&] { return listener.lists.size() == 3; }));
    EXPECT_NE(firstToken, bearerOf(requestsTo("GET", "/plyx/v1/projects").at(2)));
    EXPECT_EQ(screensBefore, listener.screens);

    cloud->setFault(Endpoint::ProjectsList, Fault::statusCode(500, "", true));
    connector->retrieveProjects();
    ASSERT_TRUE(pumpUntil([&] { return !listener.failures.empty(); }));
    const std::string log = logText();
    EXPECT_NE(std::string::npos, log.find("could not retrieve projects (500)"));
    const std::set<std::string> secrets = secretsIn(cloud->requests());
    // Two codes and their verifiers, the refresh token and three access tokens.
    EXPECT_EQ(8u, secrets.size());
    for (const auto& secret : secrets) EXPECT_EQ(std::string::npos, log.find(secret)) << secret;
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
        connector = makeConnector(&listener);
        return connector->resumeSignIn();
    }
    // Every token the emulator saw or issued, and what the store holds.
    void collectSecrets() {
        const std::set<std::string> sent = secretsIn(cloud->requests());
        secrets.insert(sent.begin(), sent.end());
        if (!kept().empty()) secrets.insert(kept());
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
    // What the page shows when the start's refresh fails is for the upload
    // workflow's sign-in tests; here, what the store keeps.
    struct Row {
        const char* name;
        std::function<void()> prepare;              // the earlier run, and faults for this one
        int32_t screen;                             // the start's one screen: 3 signed in, 1 sign-in, 6 error; 0 none
        enum { Nothing, Same, Rotated } keptAfter;  // the store's entry, against the one before the start
        std::function<void()> then;                 // more of the same run, checked inside
    };
    auto earlierSignIn = [&] { ASSERT_TRUE(signIn()); };
    auto thenStartMeets = [&](const Fault& fault) {
        return [&, fault] {
            earlierSignIn();
            cloud->setFault(Endpoint::Token, fault);
        };
    };
    const std::vector<Row> rows = {
        {"fresh start without a stored token", nullptr, 0, Row::Nothing, nullptr},
        {"stored token refused", thenStartMeets(Fault::statusCode(400, R"({"error":"invalid_grant"})", true)), 1,
         Row::Nothing, nullptr},
        {"server unreachable at start", thenStartMeets(Fault::dropConnection(true)), 6, Row::Same, nullptr},
        {"a stored token resumes, and every rotation is stored", earlierSignIn, 3, Row::Rotated,
         [&] {
             // A heartbeat's refresh rotates it again; the next start
             // resumes with that one (the emulator takes each only once).
             cloud->setTokenLifetime(std::chrono::seconds(60));
             ASSERT_TRUE(signIn());
             const std::string afterSignIn = kept();
             ASSERT_TRUE(refreshNow());
             EXPECT_NE(afterSignIn, kept());
             EXPECT_NE(std::string::npos,
                       requestsTo("POST", "/token").back().body.find("&refresh_token=" + encode(afterSignIn)));
             const std::string afterRefresh = kept();
             ASSERT_TRUE(restart());
             ASSERT_TRUE(pumpUntil([&] { return listener.lists.size() == 1; }));
             EXPECT_EQ(200, requestsTo("POST", "/token").back().status);
             EXPECT_NE(std::string::npos,
                       requestsTo("POST", "/token").back().body.find("&refresh_token=" + encode(afterRefresh)));
         }},
        {"sign-out deletes it, and only its own server's",
         [&] {
             ASSERT_EQ(Outcome::Done, store->save(otherServer, otherSecret));
             earlierSignIn();
         },
         3, Row::Rotated,
         [&] {
             connector->signOut();
             EXPECT_EQ(1, listener.signedOut);
             EXPECT_EQ("", kept());
             std::string other;
             EXPECT_EQ(Outcome::Done, store->load(otherServer, other));
             EXPECT_EQ(otherSecret, other);
             EXPECT_EQ(Outcome::Done, store->remove(otherServer));
             EXPECT_EQ(Outcome::Missing, store->remove(otherServer));
             EXPECT_FALSE(restart());
             // The start's refresh, nothing since.
             EXPECT_EQ(1u, requestsTo("POST", "/token").size());
         }},
        {"sign-out of a start that never resumed deletes it too", earlierSignIn, 3, Row::Rotated,
         [&] {
             connector = makeConnector(&listener);
             connector->signOut();
             EXPECT_EQ("", kept());
             EXPECT_EQ(0, listener.signedOut);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        store->remove(cloud->accountServer());
        cloud->clearFaults();
        cloud->setTokenLifetime(std::chrono::seconds(3600));
        restart();
        if (row.prepare) row.prepare();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(drain());
        const std::string before = kept();
        collectSecrets();
        cloud->clearRequests();

        EXPECT_EQ(row.screen != 0, restart());
        EXPECT_TRUE(waitForScreens(row.screen != 0 ? 1 : 0));
        ASSERT_TRUE(drain());
        ASSERT_EQ(row.screen != 0 ? 1u : 0u, listener.screens.size());
        EXPECT_EQ(row.screen, listener.screens.empty() ? 0 : listener.screens[0].first);
        EXPECT_EQ(row.screen == 3, connector->isSignedIn());
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
        if (row.then) row.then();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(drain());
        collectSecrets();

        // Nothing of any token in a file of the test's home or temporary
        // folder, where the log is too.
        EXPECT_EQ(std::vector<std::string>(), filesWithSecrets(homeFolder()));
        EXPECT_EQ(std::vector<std::string>(), filesWithSecrets(tempFolder));
    }
    // Each row but the first signed in: its code, verifier and tokens were
    // looked for.
    EXPECT_GE(secrets.size(), 5u * 4u);
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
    ASSERT_TRUE(refreshNow());
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
