#include "emulator/pages.h"

namespace emulator {

std::string htmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

namespace {

std::string frame(const std::string& title, const std::string& body) {
    return "<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width\">"
           "<title>" +
           htmlEscape(title) +
           "</title>"
           "<style>body{font-family:sans-serif;max-width:28em;margin:3em auto;padding:0 1em}"
           "label{display:block;margin:.8em 0}input{display:block;width:100%;padding:.4em}"
           ".error{color:#a00}</style></head>\n<body>\n" +
           body + "\n</body></html>\n";
}

}  // namespace

std::string signInPage(const std::string& requestId, const std::string& error) {
    std::string body = "<h1>Sign in to StrataVox</h1>\n";
    if (!error.empty()) body += "<p class=\"error\" id=\"error\">" + htmlEscape(error) + "</p>\n";
    body += "<form method=\"post\" action=\"/authorize\" id=\"signin\">\n"
            "<input type=\"hidden\" name=\"request_id\" value=\"" +
            htmlEscape(requestId) +
            "\">\n"
            "<label>User name <input name=\"username\" autocomplete=\"username\" required></label>\n"
            "<label>Password <input type=\"password\" name=\"password\" "
            "autocomplete=\"current-password\" required></label>\n"
            "<button type=\"submit\">Sign in</button>\n</form>";
    return frame("Sign in", body);
}

std::string messagePage(const std::string& title, const std::string& text) {
    return frame(title, "<h1>" + htmlEscape(title) + "</h1>\n<p>" + htmlEscape(text) + "</p>");
}

}  // namespace emulator
