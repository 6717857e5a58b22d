// Signing in the way the palette's web view does, against the running
// emulator over HTTPS: the form, the session cookie, the account server's
// sign-out, and the ways it fails.
#include <gtest/gtest.h>

#include <string>

#include "cloud/pkce.h"
#include "demo/browser_sign_in.h"
#include "demo/web_view.h"
#include "emulator/emulator.h"
#include "support/encoding.h"

namespace demo {
namespace {

using support::percentEncode;

class BrowserSignInTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(cloud.start()) << cloud.lastError(); }
    void TearDown() override { cloud.stop(); }

    std::string authorizeAddress(const std::string& state) const {
        return cloud.accountServer() +
               "/authorize?client_id=" + percentEncode(emulator::CloudEmulator::Options().clientId) +
               "&redirect_uri=" + percentEncode(cloud.redirectUri()) + "&scope=" +
               percentEncode("account.user.read plyx.mesh.write library.project.write library.project.read "
                             "plyx.printjob.write") +
               "&response_type=code&state=" + state +
               "&code_challenge=" + percentEncode(EXMIImpl::codeChallengeFor(std::string(64, 'a'))) +
               "&code_challenge_method=S256";
    }

    SignInOutcome signIn(WebView& view, const std::string& address, const std::string& password) {
        return signInAsBrowser(view, address, cloud.redirectUri(), "ada", password);
    }

    size_t requestsTo(const std::string& method, const std::string& path) const {
        size_t count = 0;
        for (const auto& request : cloud.requests()) count += request.method == method && request.path == path;
        return count;
    }

    emulator::CloudEmulator cloud;
};

TEST_F(BrowserSignInTest, SubmitsTheFormOnceThenTheCookieSkipsItUntilTheSignOutAddress) {
    WebView view(cloud.caBundlePath());
    const SignInOutcome first = signIn(view, authorizeAddress("S1"), "secret");
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_TRUE(first.formSubmitted);
    ASSERT_EQ(first.navigations.size(), 1u);
    EXPECT_EQ(first.navigations[0].rfind(cloud.redirectUri() + "?", 0), 0u) << first.navigations[0];
    EXPECT_NE(first.navigations[0].find("code="), std::string::npos);
    EXPECT_NE(first.navigations[0].find("state=S1"), std::string::npos);
    EXPECT_EQ(requestsTo("GET", "/authorize"), 1u);
    ASSERT_EQ(requestsTo("POST", "/authorize"), 1u);
    for (const auto& request : cloud.requests()) {
        if (request.method != "POST") continue;
        EXPECT_NE(request.body.find("username=ada"), std::string::npos);
        EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
    }
    EXPECT_EQ(view.cookieCount(), 1u);  // the account server's session

    // The session cookie answers for the form: a wrong password is never sent.
    const SignInOutcome again = signIn(view, authorizeAddress("S2"), "wrong");
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_FALSE(again.formSubmitted);
    ASSERT_EQ(again.navigations.size(), 1u);
    EXPECT_NE(again.navigations[0].find("state=S2"), std::string::npos);

    // Through /logoff?next=: the session ends, the form comes back.
    const std::string viaSignOut = cloud.accountServer() + "/logoff?next=" + percentEncode(authorizeAddress("S3"));
    const SignInOutcome fresh = signIn(view, viaSignOut, "secret");
    ASSERT_TRUE(fresh.ok) << fresh.error;
    EXPECT_TRUE(fresh.formSubmitted);
    ASSERT_EQ(fresh.navigations.size(), 2u);
    EXPECT_EQ(fresh.navigations[0], authorizeAddress("S3"));
    EXPECT_NE(fresh.navigations[1].find("state=S3"), std::string::npos);

    // The redirect is only reported, never loaded.
    for (const auto& request : cloud.requests()) {
        EXPECT_NE(request.path.rfind("/stratavox", 0), 0u) << "the redirect was loaded";
    }
}

TEST_F(BrowserSignInTest, WrongPasswordsServerFailuresAndUntrustedCertificatesEndTheSignIn) {
    WebView view(cloud.caBundlePath());
    const SignInOutcome refused = signIn(view, authorizeAddress("S1"), "nope");
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.formSubmitted);
    EXPECT_TRUE(refused.navigations.empty());
    EXPECT_EQ(refused.error, "the sign-in was not accepted: HTTP 401: Wrong user name or password.");
    EXPECT_EQ(requestsTo("POST", "/authorize"), 1u);  // the form is not submitted twice

    const SignInOutcome notAnAddress = signIn(view, "not an address", "secret");
    EXPECT_FALSE(notAnAddress.ok);
    EXPECT_EQ(notAnAddress.error, "the palette's address is not a web address: not an address");

    // Verification stays on: without the emulator's CA nothing is loaded.
    WebView untrusting("");
    const SignInOutcome untrusted = signIn(untrusting, authorizeAddress("S1"), "secret");
    EXPECT_FALSE(untrusted.ok);
    EXPECT_EQ(untrusted.error.rfind("loading " + authorizeAddress("S1") + " failed: ", 0), 0u) << untrusted.error;

    cloud.setFault(emulator::Endpoint::Authorize, emulator::Fault::statusCode(503, "<h1>Down</h1>", true));
    WebView fresh(cloud.caBundlePath());
    const SignInOutcome down = signIn(fresh, authorizeAddress("S1"), "secret");
    EXPECT_FALSE(down.ok);
    EXPECT_FALSE(down.formSubmitted);
    EXPECT_EQ(down.error.rfind("no sign-in form at " + authorizeAddress("S1") + ": HTTP 503", 0), 0u) << down.error;
}

TEST(OriginTest, IsSchemeHostAndPort) {
    EXPECT_EQ(originOf("https://127.0.0.1:4443/authorize?x=1"), "https://127.0.0.1:4443");
    EXPECT_EQ(originOf("https://example.test/a"), "https://example.test:443");
    EXPECT_EQ(originOf("/relative"), "");
}

}  // namespace
}  // namespace demo
