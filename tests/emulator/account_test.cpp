// Sign-in and tokens: what the account server accepts and refuses.

#include "tests/emulator/emulator_fixture.h"

#include <chrono>
#include <thread>

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

TEST_F(AccountTest, SignInFormRejectsWrongPasswordAndRedirectsWithCodeAndState) {
  Pkce pkce = makePkce();
  Reply wrong = signIn(authorizeUrl(pkce), "ada", "not-the-password");
  EXPECT_EQ(wrong.status, 401);
  EXPECT_NE(wrong.body.find("Wrong user name or password."), std::string::npos);
  EXPECT_EQ(signIn(authorizeUrl(pkce), "", "secret").status, 401);

  Reply ok = signIn(authorizeUrl(pkce));
  ASSERT_EQ(ok.status, 302);
  std::string location = ok.header("location");
  EXPECT_EQ(location.rfind(cloud->redirectUri() + "?code=", 0), 0u) << location;
  EXPECT_EQ(queryParam(location, "code").size(), 40u);
  EXPECT_EQ(queryParam(location, "state"), "STATE");
  // The redirect target answers a browser that follows it.
  EXPECT_EQ(get(location, options()).status, 200);
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
  EXPECT_EQ(signIn(authorizeUrl(pkce), "grace", "hopper").status, 302);

  std::string error;
  std::string location = cloud->authorizeDirect(authorizeUrl(pkce), "grace", &error);
  ASSERT_FALSE(location.empty()) << error;
  EXPECT_EQ(exchangeCode(queryParam(location, "code"), pkce.verifier).status, 200);
  EXPECT_TRUE(cloud->authorizeDirect(authorizeUrl(pkce, "sv-x"), "grace", &error).empty());
  EXPECT_NE(error.find("invalid_client"), std::string::npos);
}

TEST_F(AccountTest, SessionCookieSkipsTheFormUntilSignOut) {
  Pkce pkce = makePkce();
  Reply first = signIn(authorizeUrl(pkce));
  ASSERT_EQ(first.status, 302);
  std::string cookie = first.header("set-cookie");
  ASSERT_EQ(cookie.rfind("sv_session=", 0), 0u);
  RequestOptions withCookie = options();
  withCookie.cookies = cookie.substr(0, cookie.find(';'));
  Reply again = get(authorizeUrl(pkce), withCookie);
  EXPECT_EQ(again.status, 302);
  EXPECT_FALSE(queryParam(again.header("location"), "code").empty());

  // The client's sign-out address wraps the whole authorize address.
  std::string next = authorizeUrl(pkce);
  Reply signOut = get(cloud->accountServer() + "/logoff?next=" + encode(next), withCookie);
  EXPECT_EQ(signOut.status, 302);
  EXPECT_EQ(signOut.header("location"), next);
  Reply afterwards = get(next, withCookie);
  EXPECT_EQ(afterwards.status, 200);
  EXPECT_NE(afterwards.body.find("<form"), std::string::npos);

  Reply elsewhere = get(cloud->accountServer() + "/logoff?next=" + encode("https://example.invalid/"),
                        options());
  EXPECT_EQ(elsewhere.status, 400);
  EXPECT_TRUE(elsewhere.header("location").empty());
}

TEST_F(AccountTest, TokenExchangeVerifiesPkcePaddedOrNot) {
  for (bool padded : {true, false}) {
    Pkce pkce = makePkce(padded);
    Reply answer = exchangeCode(codeFor(pkce), pkce.verifier);
    EXPECT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(answer.header("cache-control"), "no-store");
    Tokens tokens = parseTokens(answer);
    EXPECT_FALSE(tokens.access.empty());
    EXPECT_FALSE(tokens.refresh.empty());
    EXPECT_EQ(tokens.expiresIn, 3600);
  }
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
}

TEST_F(AccountTest, TokenEndpointRefusesWrongClientGrantAndEncoding) {
  Pkce pkce = makePkce();
  Reply wrongClient = exchangeCode(codeFor(pkce), pkce.verifier, "sv-someone-else");
  EXPECT_EQ(wrongClient.status, 401);
  EXPECT_NE(wrongClient.body.find("\"invalid_client\""), std::string::npos);

  const RequestOptions form = options({"Content-Type: application/x-www-form-urlencoded"});
  const std::string token = cloud->accountServer() + "/token";
  Reply grant = request("POST", token, "client_id=" + encode(kClientId) + "&grant_type=password", form);
  EXPECT_EQ(grant.status, 400);
  EXPECT_NE(grant.body.find("\"unsupported_grant_type\""), std::string::npos);
  EXPECT_EQ(request("POST", token, "{\"client_id\":\"x\"}", options({"Content-Type: application/json"}))
                .status,
            400);

  std::string fresh = codeFor(pkce);
  Reply repeated = request("POST", token,
                           "client_id=" + encode(kClientId) + "&redirect_uri=" +
                               encode(cloud->redirectUri()) + "&grant_type=authorization_code&code=" +
                               fresh + "&code=" + fresh + "&code_verifier=" + pkce.verifier,
                           form);
  EXPECT_EQ(repeated.status, 400);
  EXPECT_NE(repeated.body.find("repeated"), std::string::npos);
}

TEST_F(AccountTest, RefreshRotatesTokensAndKeepsTheGrant) {
  Tokens first = signInFully();
  Reply answer = refresh(first.refresh);
  ASSERT_EQ(answer.status, 200) << answer.body;
  Tokens second = parseTokens(answer);
  EXPECT_NE(second.access, first.access);
  EXPECT_NE(second.refresh, first.refresh);
  EXPECT_EQ(listStatus(second.access), 200);
  // The spent refresh token is gone; the new one works, for its client only.
  EXPECT_EQ(refresh(first.refresh).status, 400);
  EXPECT_EQ(refresh(second.refresh, "sv-someone-else").status, 401);
  EXPECT_EQ(refresh(second.refresh).status, 200);
}

TEST_F(AccountTest, AccessTokenExpiresAfterConfiguredLifetime) {
  cloud->setTokenLifetime(std::chrono::seconds(1));
  Tokens tokens = signInFully();
  EXPECT_EQ(tokens.expiresIn, 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (listStatus(tokens.access) != 401 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Reply expired = get(cloud->apiBase() + "/projects", bearer(tokens.access));
  ASSERT_EQ(expired.status, 401);
  EXPECT_NE(expired.header("www-authenticate").find("invalid_token"), std::string::npos);
  EXPECT_NE(expired.body.find("expired"), std::string::npos);
  // A refresh still works after the access token expired.
  cloud->setTokenLifetime(std::chrono::seconds(3600));
  EXPECT_EQ(listStatus(parseTokens(refresh(tokens.refresh)).access), 200);
}

}  // namespace
}  // namespace emulator_test
