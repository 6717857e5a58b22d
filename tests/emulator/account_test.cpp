// Sign-in and tokens: what the account server refuses. The form, its
// session cookie and the log-off address are driven by the demo's browser
// sign-in test; exchange, refresh and expiry by the connector's sign-in tests.

#include "tests/emulator/emulator_fixture.h"

namespace emulator_test {
namespace {

using AccountTest = EmulatorTest;

TEST_F(AccountTest, AuthorizeRefusesOrRedirectsProtocolErrors) {
    Pkce pkce = makePkce();
    // Unknown client or redirect: refused here, never sent to that address.
    std::string otherRedirect = authorizeUrl(pkce);
    otherRedirect.replace(otherRedirect.find("stratavox%2F"), 12, "elsewhere%2F");
    for (const std::string& url : {authorizeUrl(pkce, "sv-someone-else"), otherRedirect}) {
        Reply r = get(url, options());
        EXPECT_EQ(r.status, 400) << url;
        EXPECT_TRUE(r.header("location").empty());
    }

    std::string token = authorizeUrl(pkce);
    token.replace(token.find("response_type=code"), 18, "response_type=token");
    struct Case {
        std::string url, error;
    } cases[] = {
        {authorizeUrl(pkce, kClientId, "account.user.read admin.everything"), "invalid_scope"},
        {authorizeUrl(pkce, kClientId, ""), "invalid_scope"},
        {authorizeUrl(pkce, kClientId, kScopes, "plain"), "invalid_request"},
        {authorizeUrl(Pkce{pkce.verifier, "short"}), "invalid_request"},
        {authorizeUrl(pkce) + "&state=STATE", "invalid_request"},
        {token, "unsupported_response_type"},
    };
    for (auto& c : cases) {
        Reply r = get(c.url, options());
        EXPECT_EQ(r.status, 302) << c.url;
        std::string location = r.header("location");
        EXPECT_EQ(location.rfind(cloud->redirectUri() + "?", 0), 0u) << location;
        EXPECT_EQ(queryParam(location, "error"), c.error) << c.url;
        EXPECT_EQ(queryParam(location, "state"), "STATE");
        EXPECT_EQ(location.find("code="), std::string::npos);
    }
}

// The direct sign-in the cloud client's tests use skips the form, not the
// authorize checks, and its code is as good as the form's.
TEST_F(AccountTest, ConfiguredUserIsTheOnlyOneAcceptedAndDirectSignInMatchesTheFormPath) {
    emulator::CloudEmulator::Options restricted;
    restricted.user = "grace";
    restricted.password = "hopper";
    restartWith(restricted);
    Pkce pkce = makePkce();
    EXPECT_EQ(signIn(authorizeUrl(pkce), "ada", "hopper").status, 401);
    EXPECT_EQ(signIn(authorizeUrl(pkce), "", "hopper").status, 401);
    Reply ok = signIn(authorizeUrl(pkce), "grace", "hopper");
    ASSERT_EQ(ok.status, 302);
    EXPECT_EQ(queryParam(ok.header("location"), "code").size(), 40u);

    std::string error;
    std::string location = cloud->authorizeDirect(authorizeUrl(pkce), "grace", &error);
    ASSERT_FALSE(location.empty()) << error;
    EXPECT_EQ(exchangeCode(queryParam(location, "code"), pkce.verifier).status, 200);
    EXPECT_TRUE(cloud->authorizeDirect(authorizeUrl(pkce, "sv-x"), "grace", &error).empty());
    EXPECT_NE(error.find("invalid_client"), std::string::npos);
}

TEST_F(AccountTest, CodeIsBurntByAWrongVerifierAndItsReuseRevokesItsTokens) {
    Pkce pkce = makePkce();
    std::string code = codeFor(pkce);
    Reply wrong = exchangeCode(code, makePkce().verifier);
    EXPECT_EQ(wrong.status, 400);
    EXPECT_NE(wrong.body.find("\"invalid_grant\""), std::string::npos);
    EXPECT_EQ(exchangeCode(code, pkce.verifier).status, 400);
    EXPECT_EQ(exchangeCode(codeFor(pkce), "abc").status, 400);

    code = codeFor(pkce);
    Tokens tokens = parseTokens(exchangeCode(code, pkce.verifier));
    ASSERT_FALSE(tokens.access.empty());
    EXPECT_EQ(listStatus(tokens.access), 200);
    Reply reused = exchangeCode(code, pkce.verifier);
    EXPECT_EQ(reused.status, 400);
    EXPECT_NE(reused.body.find("already used"), std::string::npos);
    EXPECT_EQ(listStatus(tokens.access), 401);
    EXPECT_EQ(refresh(tokens.refresh).status, 400);

    // A refresh token is spent by its use and answers only its own client.
    Tokens first = signInFully();
    Reply rotated = refresh(first.refresh);
    ASSERT_EQ(rotated.status, 200) << rotated.body;
    Tokens second = parseTokens(rotated);
    EXPECT_EQ(refresh(first.refresh).status, 400);
    EXPECT_EQ(refresh(second.refresh, "sv-someone-else").status, 401);
    EXPECT_EQ(refresh(second.refresh).status, 200);
}

TEST_F(AccountTest, TokenEndpointRefusesWrongClientGrantEncodingAndRepeatedParameters) {
    Pkce pkce = makePkce();
    Reply wrongClient = exchangeCode(codeFor(pkce), pkce.verifier, "sv-someone-else");
    EXPECT_EQ(wrongClient.status, 401);
    EXPECT_NE(wrongClient.body.find("\"invalid_client\""), std::string::npos);

    const RequestOptions form = options({"Content-Type: application/x-www-form-urlencoded"});
    const std::string token = cloud->accountServer() + "/token";
    Reply grant = request("POST", token, "client_id=" + encode(kClientId) + "&grant_type=password", form);
    EXPECT_EQ(grant.status, 400);
    EXPECT_NE(grant.body.find("\"unsupported_grant_type\""), std::string::npos);
    EXPECT_EQ(request("POST", token, "{\"client_id\":\"x\"}", options({"Content-Type: application/json"})).status, 400);

    // A repeated parameter is refused rather than resolved by first or last.
    std::string fresh = codeFor(pkce);
    Reply repeated = request("POST", token,
                             "client_id=" + encode(kClientId) + "&redirect_uri=" + encode(cloud->redirectUri()) +
                                 "&grant_type=authorization_code&code=" + fresh + "&code=" + fresh +
                                 "&code_verifier=" + pkce.verifier,
                             form);
    EXPECT_EQ(repeated.status, 400);
    EXPECT_NE(repeated.body.find("repeated"), std::string::npos);
}

}  // namespace
}  // namespace emulator_test
