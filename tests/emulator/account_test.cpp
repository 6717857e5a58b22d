// Sign-in and tokens: what the account server accepts and refuses.

#include "tests/emulator/emulator_fixture.h"

#include <chrono>
#include <thread>

namespace emulator_test {
namespace {

class AccountTest : public EmulatorTest {};

TEST_F(AccountTest, AuthorizeRefusesUnknownClientOrRedirectWithoutRedirecting) {
  Pkce pkce = makePkce();
  Reply wrongClient = get(authorizeUrl(pkce, "sv-someone-else"), options());
  EXPECT_EQ(wrongClient.status, 400);
  EXPECT_TRUE(wrongClient.header("location").empty());

  std::string url = authorizeUrl(pkce);
  std::string other = url;
  other.replace(other.find("stratavox%2F"), 12, "elsewhere%2F");
  Reply wrongRedirect = get(other, options());
  EXPECT_EQ(wrongRedirect.status, 400);
  EXPECT_TRUE(wrongRedirect.header("location").empty());
}

TEST_F(AccountTest, AuthorizeRedirectsProtocolErrorsToTheClient) {
  Pkce pkce = makePkce();
  struct Case {
    std::string url, error;
  } cases[] = {
      {authorizeUrl(pkce, kClientId, "account.user.read admin.everything"), "invalid_scope"},
      {authorizeUrl(pkce, kClientId, ""), "invalid_scope"},
      {authorizeUrl(pkce, kClientId, kScopes, "plain"), "invalid_request"},
      {authorizeUrl(Pkce{pkce.verifier, "short"}), "invalid_request"},
      {authorizeUrl(pkce) + "&state=STATE", "invalid_request"},
  };
  std::string token = authorizeUrl(pkce);
  token.replace(token.find("response_type=code"), 18, "response_type=token");
  for (auto& c : cases) {
    Reply r = get(c.url, options());
    EXPECT_EQ(r.status, 302) << c.url;
    std::string location = r.header("location");
    EXPECT_EQ(location.rfind(cloud.redirectUri() + "?", 0), 0u) << location;
    EXPECT_EQ(queryParam(location, "error"), c.error) << c.url;
    EXPECT_EQ(queryParam(location, "state"), "STATE");
    EXPECT_EQ(location.find("code="), std::string::npos);
  }
  Reply r = get(token, options());
  EXPECT_EQ(queryParam(r.header("location"), "error"), "unsupported_response_type");
}

TEST_F(AccountTest, SignInFormRejectsWrongPasswordAndRedirectsWithCodeAndState) {
  Pkce pkce = makePkce();
  Reply wrong = signIn(authorizeUrl(pkce), "ada", "not-the-password");
  EXPECT_EQ(wrong.status, 401);
  EXPECT_NE(wrong.body.find("Wrong user name or password."), std::string::npos);

  Reply empty = signIn(authorizeUrl(pkce), "", "secret");
  EXPECT_EQ(empty.status, 401);

  Reply ok = signIn(authorizeUrl(pkce));
  ASSERT_EQ(ok.status, 302);
  std::string location = ok.header("location");
  EXPECT_EQ(location.rfind(cloud.redirectUri() + "?code=", 0), 0u) << location;
  EXPECT_EQ(queryParam(location, "code").size(), 40u);
  EXPECT_EQ(queryParam(location, "state"), "STATE");

  // The redirect target answers a browser that follows it.
  Reply landing = get(location, options());
  EXPECT_EQ(landing.status, 200);
}

TEST_F(AccountTest, ConfiguredUserIsTheOnlyOneAccepted) {
  cloud.stop();
  emulator::CloudEmulator::Options o;
  o.user = "grace";
  o.password = "hopper";
  emulator::CloudEmulator restricted(o);
  ASSERT_TRUE(restricted.start()) << restricted.lastError();
  Pkce pkce = makePkce();
  std::string url = restricted.accountServer() + "/authorize?client_id=" + encode(kClientId) +
                    "&redirect_uri=" + encode(restricted.redirectUri()) + "&scope=" +
                    encode(kScopes) + "&response_type=code&state=STATE&code_challenge=" +
                    encode(pkce.challenge) + "&code_challenge_method=S256";
  std::string error;
  EXPECT_TRUE(restricted.authorizeDirect(url, "grace", &error).size() > 0) << error;
  RequestOptions o2;
  o2.caBundle = restricted.caBundlePath();
  Reply form = get(url, o2);
  ASSERT_EQ(form.status, 200);
  std::size_t at = form.body.find("value=\"") + 7;
  std::string id = form.body.substr(at, form.body.find('"', at) - at);
  o2.headers = {"Content-Type: application/x-www-form-urlencoded"};
  Reply ada = request("POST", restricted.accountServer() + "/authorize",
                      "request_id=" + id + "&username=ada&password=hopper", o2);
  EXPECT_EQ(ada.status, 401);
  Reply grace = request("POST", restricted.accountServer() + "/authorize",
                        "request_id=" + id + "&username=grace&password=hopper", o2);
  EXPECT_EQ(grace.status, 302);
}

TEST_F(AccountTest, SessionCookieSkipsTheFormUntilLogoff) {
  Pkce pkce = makePkce();
  Reply first = signIn(authorizeUrl(pkce));
  ASSERT_EQ(first.status, 302);
  std::string cookie = first.header("set-cookie");
  ASSERT_EQ(cookie.rfind("sv_session=", 0), 0u);
  cookie = cookie.substr(0, cookie.find(';'));

  RequestOptions withCookie = options();
  withCookie.cookies = cookie;
  Reply again = get(authorizeUrl(pkce), withCookie);
  EXPECT_EQ(again.status, 302);
  EXPECT_FALSE(queryParam(again.header("location"), "code").empty());

  // The client's log-off address wraps the whole authorize address.
  std::string next = authorizeUrl(pkce);
  Reply logoff = get(cloud.accountServer() + "/logoff?next=" + encode(next), withCookie);
  EXPECT_EQ(logoff.status, 302);
  EXPECT_EQ(logoff.header("location"), next);
  Reply afterwards = get(next, withCookie);
  EXPECT_EQ(afterwards.status, 200);
  EXPECT_NE(afterwards.body.find("<form"), std::string::npos);

  Reply elsewhere = get(cloud.accountServer() + "/logoff?next=" + encode("https://example.invalid/"),
                        options());
  EXPECT_EQ(elsewhere.status, 400);
  EXPECT_TRUE(elsewhere.header("location").empty());
}

TEST_F(AccountTest, TokenExchangeVerifiesPkcePaddedOrNot) {
  for (bool padded : {true, false}) {
    Pkce pkce = makePkce(padded);
    Reply redirect = signIn(authorizeUrl(pkce));
    std::string code = queryParam(redirect.header("location"), "code");
    Reply answer = exchangeCode(code, pkce.verifier);
    EXPECT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(answer.header("cache-control"), "no-store");
    Tokens tokens = parseTokens(answer);
    EXPECT_FALSE(tokens.access.empty());
    EXPECT_FALSE(tokens.refresh.empty());
    EXPECT_EQ(tokens.expiresIn, 3600);
  }
}

TEST_F(AccountTest, TokenExchangeRefusesWrongVerifierAndBurnsTheCode) {
  Pkce pkce = makePkce();
  std::string code = queryParam(signIn(authorizeUrl(pkce)).header("location"), "code");
  Pkce other = makePkce();
  Reply wrong = exchangeCode(code, other.verifier);
  EXPECT_EQ(wrong.status, 400);
  EXPECT_NE(wrong.body.find("\"invalid_grant\""), std::string::npos);
  Reply late = exchangeCode(code, pkce.verifier);
  EXPECT_EQ(late.status, 400);

  std::string fresh = queryParam(signIn(authorizeUrl(pkce)).header("location"), "code");
  Reply shortVerifier = exchangeCode(fresh, "abc");
  EXPECT_EQ(shortVerifier.status, 400);
}

TEST_F(AccountTest, ReusedCodeIsRefusedAndRevokesItsTokens) {
  Pkce pkce = makePkce();
  std::string code = queryParam(signIn(authorizeUrl(pkce)).header("location"), "code");
  Tokens tokens = parseTokens(exchangeCode(code, pkce.verifier));
  ASSERT_FALSE(tokens.access.empty());
  EXPECT_EQ(get(cloud.apiBase() + "/projects", bearer(tokens.access)).status, 200);

  Reply reused = exchangeCode(code, pkce.verifier);
  EXPECT_EQ(reused.status, 400);
  EXPECT_NE(reused.body.find("already used"), std::string::npos);
  EXPECT_EQ(get(cloud.apiBase() + "/projects", bearer(tokens.access)).status, 401);
  EXPECT_EQ(refresh(tokens.refresh).status, 400);
}

TEST_F(AccountTest, TokenEndpointRefusesWrongClientGrantAndEncoding) {
  Pkce pkce = makePkce();
  std::string code = queryParam(signIn(authorizeUrl(pkce)).header("location"), "code");
  Reply wrongClient = exchangeCode(code, pkce.verifier, "sv-someone-else");
  EXPECT_EQ(wrongClient.status, 401);
  EXPECT_NE(wrongClient.body.find("\"invalid_client\""), std::string::npos);

  Reply grant = request("POST", cloud.accountServer() + "/token",
                        "client_id=" + encode(kClientId) + "&grant_type=password",
                        options({"Content-Type: application/x-www-form-urlencoded"}));
  EXPECT_EQ(grant.status, 400);
  EXPECT_NE(grant.body.find("\"unsupported_grant_type\""), std::string::npos);

  Reply json = request("POST", cloud.accountServer() + "/token",
                       "{\"client_id\":\"x\"}", options({"Content-Type: application/json"}));
  EXPECT_EQ(json.status, 400);

  std::string fresh = queryParam(signIn(authorizeUrl(pkce)).header("location"), "code");
  Reply repeated = request(
      "POST", cloud.accountServer() + "/token",
      "client_id=" + encode(kClientId) + "&redirect_uri=" + encode(cloud.redirectUri()) +
          "&grant_type=authorization_code&code=" + fresh + "&code=" + fresh +
          "&code_verifier=" + pkce.verifier,
      options({"Content-Type: application/x-www-form-urlencoded"}));
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
  EXPECT_EQ(get(cloud.apiBase() + "/projects", bearer(second.access)).status, 200);
  // The spent refresh token is gone; the new one works.
  EXPECT_EQ(refresh(first.refresh).status, 400);
  EXPECT_EQ(refresh(second.refresh, "sv-someone-else").status, 401);
  EXPECT_EQ(refresh(second.refresh).status, 200);
}

TEST_F(AccountTest, AccessTokenExpiresAfterConfiguredLifetime) {
  cloud.setTokenLifetime(std::chrono::seconds(1));
  Tokens tokens = signInFully();
  EXPECT_EQ(tokens.expiresIn, 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  long status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    status = get(cloud.apiBase() + "/projects", bearer(tokens.access)).status;
    if (status == 401) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(status, 401);
  Reply expired = get(cloud.apiBase() + "/projects", bearer(tokens.access));
  EXPECT_NE(expired.header("www-authenticate").find("invalid_token"), std::string::npos);
  EXPECT_NE(expired.body.find("expired"), std::string::npos);
  // A refresh still works after the access token expired.
  cloud.setTokenLifetime(std::chrono::seconds(3600));
  Tokens renewed = parseTokens(refresh(tokens.refresh));
  EXPECT_EQ(get(cloud.apiBase() + "/projects", bearer(renewed.access)).status, 200);
}

TEST_F(AccountTest, AuthorizeDirectMatchesTheFormPath) {
  Pkce pkce = makePkce();
  std::string error;
  std::string location = cloud.authorizeDirect(authorizeUrl(pkce), "ada", &error);
  ASSERT_FALSE(location.empty()) << error;
  Reply answer = exchangeCode(queryParam(location, "code"), pkce.verifier);
  EXPECT_EQ(answer.status, 200);
  EXPECT_TRUE(cloud.authorizeDirect(authorizeUrl(pkce, "sv-x"), "ada", &error).empty());
  EXPECT_NE(error.find("invalid_client"), std::string::npos);
}

}  // namespace
}  // namespace emulator_test
