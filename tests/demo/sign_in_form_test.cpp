// Reading sign-in pages as a browser does: the emulator's form with escaped
// values, pages without one, form encoding, and what a page says when it is
// not a redirect. Signing in through the emulator's own pages is checked by
// the browser sign-in and whole-demo tests.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "demo/sign_in_form.h"
#include "emulator/pages.h"

namespace demo {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

TEST(SignInFormTest, ReadsTheEmulatorsFormWithEscapedValuesAndResolvesItsAction) {
    // The emulator's own page; characters it must escape come back decoded.
    SignInForm form;
    ASSERT_TRUE(readSignInForm(emulator::signInPage("id&1\"<x>", ""),
                               "https://127.0.0.1:4443/authorize?client_id=a&state=S", form));
    EXPECT_EQ(form.action, "https://127.0.0.1:4443/authorize");
    EXPECT_EQ(form.method, "post");
    EXPECT_EQ(form.userField, "username");
    EXPECT_EQ(form.passwordField, "password");
    EXPECT_EQ(form.hiddenFields, (Fields{{"request_id", "id&1\"<x>"}}));
}

TEST(SignInFormTest, PagesWithoutASignInFormAreNotRead) {
    SignInForm form;
    form.action = "untouched";
    EXPECT_FALSE(readSignInForm("", "https://h.test/", form));
    EXPECT_FALSE(readSignInForm("<p>Signed in</p>", "https://h.test/", form));
    EXPECT_FALSE(readSignInForm("<form><input name=user></form>", "https://h.test/", form));
    // A password input without a name cannot be submitted.
    EXPECT_FALSE(readSignInForm("<form><input type=password></form>", "https://h.test/", form));
    EXPECT_FALSE(readSignInForm(emulator::messagePage("Signed out", "bye"), "https://h.test/", form));
    EXPECT_EQ(form.action, "untouched");
}

TEST(SignInFormTest, AddressesResolveAsLinksDoAndFieldsAreFormEncodedInOrder) {
    const std::string base = "https://127.0.0.1:9/a/b/page?q=1";
    EXPECT_EQ(resolveAddress(base, "/authorize"), "https://127.0.0.1:9/authorize");
    EXPECT_EQ(resolveAddress(base, "../c"), "https://127.0.0.1:9/a/c");
    EXPECT_EQ(resolveAddress(base, "?r=2"), "https://127.0.0.1:9/a/b/page?r=2");
    EXPECT_EQ(resolveAddress(base, "https://other.test/x"), "https://other.test/x");
    EXPECT_EQ(resolveAddress("not an address", "/x"), "");

    SignInForm form;
    form.userField = "username";
    form.passwordField = "password";
    form.hiddenFields = {{"request_id", "a b"}};
    const Fields fields = filledIn(form, "ada&co", "p=w/ö+");
    EXPECT_EQ(fields, (Fields{{"request_id", "a b"}, {"username", "ada&co"}, {"password", "p=w/ö+"}}));
    EXPECT_EQ(encodeFormFields(fields), "request_id=a%20b&username=ada%26co&password=p%3Dw%2F%C3%B6%2B");
    form.userField.clear();
    EXPECT_EQ(encodeFormFields(filledIn(form, "ignored", "x")), "request_id=a%20b&password=x");
}

TEST(SignInFormTest, APageSaysItsErrorOrItsHeadingAndText) {
    EXPECT_EQ(pageMessage(emulator::signInPage("r", "Wrong user name or password.")), "Wrong user name or password.");
    EXPECT_EQ(pageMessage(emulator::messagePage("Sign-in expired", "Start again.")), "Sign-in expired: Start again.");
    EXPECT_EQ(pageMessage("<h1>Only a title</h1>"), "Only a title");
    EXPECT_EQ(pageMessage(""), "");
}

}  // namespace
}  // namespace demo
