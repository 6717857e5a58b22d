// The HTTP layer's header callback, fed the input as a header block cut
// into lines the way libcurl delivers them (each with its line end). Every
// line is consumed whole; a line with ':' sets its trimmed name to its
// trimmed value (a repeated field keeps the last one); a line without
// ':' that is not blank is recorded as "present"; blank lines add nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/checks.h"
#include "net/http_connection.h"
#include "net/http_response.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string block = fuzz::bytes(data, size);
    EXMIImpl::HttpResponse response;
    size_t start = 0;
    while (start < block.size()) {
        size_t end = block.find('\n', start);
        end = end == std::string::npos ? block.size() : end + 1;
        std::string line = block.substr(start, end - start);
        start = end;

        const size_t before = response.headers.size();
        // libcurl hands over a buffer it owns; give the callback exactly the
        // line's bytes so a read past them is caught.
        const size_t consumed = EXMIImpl::HttpConnection::headerCallback(&line[0], 1, line.size(), &response);
        fuzz::check(consumed == line.size(), "header callback did not consume the whole line");

        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            const std::string text = fuzz::trimmed(line);
            if (text.empty()) {
                fuzz::check(response.headers.size() == before, "a blank line added a header");
            } else {
                fuzz::check(response.headers.count(text) == 1 && response.headers[text] == "present",
                            "a line without ':' is not recorded as present");
            }
        } else {
            const std::string name = fuzz::trimmed(line.substr(0, colon));
            const std::string value = fuzz::trimmed(line.substr(colon + 1));
            fuzz::check(response.headers.count(name) == 1 && response.headers[name] == value,
                        "header field not set to its trimmed value");
        }
        fuzz::check(response.headers.size() <= before + 1, "one line added more than one header");
    }
    // Whatever the lines held, no name or value keeps white space at its ends.
    for (const auto& entry : response.headers) {
        fuzz::check(fuzz::trimmed(entry.first) == entry.first && fuzz::trimmed(entry.second) == entry.second,
                    "a header name or value keeps surrounding white space");
    }
    return 0;
}
