// Sign-in against the emulator: redirect capture, token exchange with PKCE,
// refresh, sign-out and lifetime. Refused exchanges end on the error screen
// in the fault matrix; the texts of wrong answers are checked on the reader.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

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
    const std::string redirect = authorizeRedirect();
    const std::string code = emulator_test::queryParam(redirect, "code");
    ASSERT_FALSE(code.empty());
    connector->handleRedirect(redirect);
    ASSERT_TRUE(pumpUntil([&] { return !listener.lists.empty(); }));
    EXPECT_EQ(Screens({{2, ""}, {3, ""}}), listener.screens);

    // The emulator answers 200 only when the verifier matches the challenge.
    const auto tokens = requestsTo("POST", "/token");
    ASSERT_EQ(1u, tokens.size());
    EXPECT_EQ(200, tokens[0].status);
    EXPECT_EQ("client_id=" + encode(kClientId) + "&redirect_uri=" + encode(cloud->redirectUri()) +
                  "&grant_type=authorization_code&scope=" + encode(kScopes) + "&code=" + code +
                  "&code_verifier=" + connector->getCodeVerifier(),
              tokens[0].body);
    EXPECT_EQ("application/x-www-form-urlencoded", tokens[0].header("Content-Type"));
    EXPECT_EQ(userAgent, tokens[0].header("User-Agent"));
    EXPECT_FALSE(tokens[0].hasHeader("Authorization"));

    // Scopes are fixed while signed in.
    EXPECT_THROW(connector->addScope("more"), std::runtime_error);
}

TEST_F(SignIn, CodeIsTakenFromEitherPositionOfTheQuery) {
    cloud->setFault(Endpoint::Token, Fault::statusCode(400, "{\"error\":\"invalid_grant\"}"));
    const std::string base = cloud->redirectUri();
    connector->handleRedirect(base + "?code=abc&state=STATE");
    connector->handleRedirect(base + "?state=STATE&code=abc");
    ASSERT_TRUE(waitForScreens(3));
    ASSERT_TRUE(drain());
    const auto tokens = requestsTo("POST", "/token");
    ASSERT_EQ(2u, tokens.size());
    for (const auto& token : tokens)
        EXPECT_NE(std::string::npos, token.body.find("&code=abc&code_verifier=")) << token.body;
    // The first answer belongs to a sign-in that the second one replaced.
    EXPECT_EQ(Screens({{2, ""}, {2, ""}, {6, "could not authenticate (400)"}}), listener.screens);
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
    secrets.insert(connector->getCodeVerifier());
    secrets.erase("");
    ASSERT_EQ(4u, secrets.size());  // two access tokens, a refresh token, the verifier

    const std::string log = logText();
    EXPECT_NE(std::string::npos, log.find("could not retrieve projects (500)"));
    for (const auto& secret : secrets) EXPECT_EQ(std::string::npos, log.find(secret)) << secret;
}

}  // namespace
