#pragma once
// The few HTML pages the emulator shows a browser: the sign-in form, plain
// message pages, and the landing pages of the redirect target and the web
// application. Stateless text builders; any thread.

#include <string>

namespace emulator {

// `requestId` is the pending sign-in the form posts back; `error` is shown
// above the form when not empty.
std::string signInPage(const std::string& requestId, const std::string& error);
std::string messagePage(const std::string& title, const std::string& text);

// Escapes &, <, >, " and ' for HTML text and attribute values.
std::string htmlEscape(const std::string& text);

}  // namespace emulator
