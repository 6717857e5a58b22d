// Signing in the way the palette's web view does, against the running
// emulator over HTTPS: through the form, with the session cookie kept,
// through the account server's sign-out first, and the ways it fails.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cctype>
#include <string>

#include "demo/browser_sign_in.h"
#include "demo/web_view.h"
#include "emulator/emulator.h"

namespace demo {
namespace {

std::string encoded(const std::string& text) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// base64url of SHA-256(verifier), padded, as the add-in sends it.
std::string challengeFor(const std::string& verifier) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(verifier.data(), verifier.size(), digest, &length, EVP_sha256(), nullptr);
  unsigned char text[64];
  const int size = EVP_EncodeBlock(text, digest, static_cast<int>(length));
  std::string result(reinterpret_cast<char*>(text), static_cast<size_t>(size));
  for (char& c : result) c = c == '+' ? '-' : c == '/' ? '_' : c;
  return result;
}

class BrowserSignInTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(cloud.start()) << cloud.lastError(); }
  void TearDown() override { cloud.stop(); }

  std::string authorizeAddress(const std::string& state) const {
    return cloud.accountServer() + "/authorize?client_id=" + encoded(emulator::CloudEmulator::Options().clientId) +
           "&redirect_uri=" + encoded(cloud.redirectUri()) +
           "&scope=" + encoded("account.user.read plyx.mesh.write library.project.write library.project.read "
                               "plyx.printjob.write") +
           "&response_type=code&state=" + state + "&code_challenge=" +
           encoded(challengeFor("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef")) +
           "&code_challenge_method=S256";
  }

  size_t requestsTo(const std::string& method, const std::string& path) const {
    size_t count = 0;
    for (const auto& request : cloud.requests()) count += request.method == method && request.path == path;
    return count;
  }

  emulator::CloudEmulator cloud;
};

TEST_F(BrowserSignInTest, SubmitsTheFormAndStopsAtTheRedirectWithoutLoadingIt) {
  WebView view(cloud.caBundlePath());
  const SignInOutcome outcome = signInAsBrowser(view, authorizeAddress("S1"), cloud.redirectUri(), "ada", "secret");
  ASSERT_TRUE(outcome.ok) << outcome.error;
  EXPECT_TRUE(outcome.formSubmitted);
  ASSERT_EQ(outcome.navigations.size(), 1u);
  const std::string& redirect = outcome.navigations[0];
  EXPECT_EQ(redirect.rfind(cloud.redirectUri() + "?", 0), 0u) << redirect;
  EXPECT_NE(redirect.find("code="), std::string::npos);
  EXPECT_NE(redirect.find("state=S1"), std::string::npos);

  EXPECT_EQ(requestsTo("GET", "/authorize"), 1u);
  ASSERT_EQ(requestsTo("POST", "/authorize"), 1u);
  for (const auto& request : cloud.requests()) {
    EXPECT_NE(request.path.rfind("/stratavox", 0), 0u) << "the redirect was loaded";
    if (request.method == "POST") {
      EXPECT_NE(request.body.find("username=ada"), std::string::npos);
      EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
    }
  }
  EXPECT_EQ(view.cookieCount(), 1u);  // the account server's session
}

TEST_F(BrowserSignInTest, TheSessionCookieSkipsTheFormAndTheSignOutAddressBringsItBack) {
  WebView view(cloud.caBundlePath());
  ASSERT_TRUE(signInAsBrowser(view, authorizeAddress("S1"), cloud.redirectUri(), "ada", "secret").ok);

  SignInOutcome again = signInAsBrowser(view, authorizeAddress("S2"), cloud.redirectUri(), "ada", "wrong");
  ASSERT_TRUE(again.ok) << again.error;
  EXPECT_FALSE(again.formSubmitted);
  ASSERT_EQ(again.navigations.size(), 1u);
  EXPECT_NE(again.navigations[0].find("state=S2"), std::string::npos);

  // Through /logoff?next=: the session ends, the form comes back.
  const std::string viaLogOff = cloud.accountServer() + "/logoff?next=" + encoded(authorizeAddress("S3"));
  const SignInOutcome fresh = signInAsBrowser(view, viaLogOff, cloud.redirectUri(), "ada", "secret");
  ASSERT_TRUE(fresh.ok) << fresh.error;
  EXPECT_TRUE(fresh.formSubmitted);
  ASSERT_EQ(fresh.navigations.size(), 2u);
  EXPECT_EQ(fresh.navigations[0], authorizeAddress("S3"));
  EXPECT_NE(fresh.navigations[1].find("state=S3"), std::string::npos);
}

TEST_F(BrowserSignInTest, AWrongPasswordEndsWithWhatThePageSays) {
  WebView view(cloud.caBundlePath());
  const SignInOutcome outcome = signInAsBrowser(view, authorizeAddress("S1"), cloud.redirectUri(), "ada", "nope");
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(outcome.formSubmitted);
  EXPECT_TRUE(outcome.navigations.empty());
  EXPECT_EQ(outcome.error, "the sign-in was not accepted: HTTP 401: Wrong user name or password.");
  EXPECT_EQ(requestsTo("POST", "/authorize"), 1u);  // the form is not submitted twice
}

TEST_F(BrowserSignInTest, ServerFailuresAndUntrustedCertificatesEndTheSignIn) {
  {
    WebView view(cloud.caBundlePath());
    cloud.setFault(emulator::Endpoint::Authorize, emulator::Fault::statusCode(503, "<h1>Down</h1>", true));
    const SignInOutcome outcome = signInAsBrowser(view, authorizeAddress("S1"), cloud.redirectUri(), "ada", "secret");
    EXPECT_FALSE(outcome.ok);
    EXPECT_FALSE(outcome.formSubmitted);
    EXPECT_EQ(outcome.error.rfind("no sign-in form at " + authorizeAddress("S1") + ": HTTP 503", 0), 0u)
        << outcome.error;
  }
  {
    // Verification stays on: without the emulator's CA nothing is loaded.
    WebView view("");
    const SignInOutcome outcome = signInAsBrowser(view, authorizeAddress("S1"), cloud.redirectUri(), "ada", "secret");
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error.rfind("loading " + authorizeAddress("S1") + " failed: ", 0), 0u) << outcome.error;
  }
  WebView view(cloud.caBundlePath());
  const SignInOutcome outcome = signInAsBrowser(view, "not an address", cloud.redirectUri(), "ada", "secret");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, "the palette's address is not a web address: not an address");
}

TEST(OriginTest, IsSchemeHostAndPort) {
  EXPECT_EQ(originOf("https://127.0.0.1:4443/authorize?x=1"), "https://127.0.0.1:4443");
  EXPECT_EQ(originOf("https://example.test/a"), "https://example.test:443");
  EXPECT_EQ(originOf("/relative"), "");
}

}  // namespace
}  // namespace demo
