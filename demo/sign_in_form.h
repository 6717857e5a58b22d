#pragma once
// Reading a sign-in page the way a browser does: find the form that asks
// for a password, where it is submitted and which fields it carries, and
// encode the filled-in fields for submission. Pure functions on text; any
// thread.

#include <string>
#include <utility>
#include <vector>

namespace demo {

struct SignInForm {
    std::string action;  // absolute address the form is submitted to
    std::string method;  // "post" or "get" (lower case)
    std::string userField;
    std::string passwordField;
    // Hidden fields in document order, their values decoded from the markup.
    std::vector<std::pair<std::string, std::string>> hiddenFields;
};

// Finds the first form with a password input in `html`, which was loaded
// from `pageAddress`. The user field is the form's first text-like input
// (type text, email or none). False when there is no such form.
bool readSignInForm(const std::string& html, const std::string& pageAddress, SignInForm& form);

// `reference` resolved against `base` as a browser resolves a link; empty
// when either cannot be parsed.
std::string resolveAddress(const std::string& base, const std::string& reference);

// application/x-www-form-urlencoded text of the fields, in order.
std::string encodeFormFields(const std::vector<std::pair<std::string, std::string>>& fields);

// The hidden fields plus user name and password, ready for encodeFormFields.
std::vector<std::pair<std::string, std::string>> filledIn(const SignInForm& form, const std::string& user,
                                                          const std::string& password);

// What a page says to its reader: the text of its first element with class
// "error", otherwise its first heading and first paragraph. Used to tell
// why a page was not the expected redirect.
std::string pageMessage(const std::string& html);

}  // namespace demo
