#pragma once
// Steps: the readable transcript of the end-to-end demo. Owns the output
// stream reference and the tally of failed checks; every check prints one
// line, "[ok] ..." or "[FAIL] ...", and details go on indented lines below
// it. Main (UI) thread only.

#include <ostream>
#include <string>

namespace demo {

class Steps {
public:
    explicit Steps(std::ostream& out) : out_(out) {}

    // "== N. title ==": a new stage of the demo.
    void stage(const std::string& title);
    // One checked outcome; returns `holds` so callers can stop early.
    bool check(bool holds, const std::string& what);
    // A failed outcome with the reason shown after the text.
    bool fail(const std::string& what, const std::string& why);
    // An indented detail line (what the page was shown, what was sent...).
    void detail(const std::string& text);
    // A stage that could not run because an earlier one failed; it keeps
    // its number.
    void skipped(const std::string& what);

    int failures() const { return failures_; }
    int checks() const { return checks_; }
    std::ostream& out() { return out_; }

private:
    std::ostream& out_;
    int stages_ = 0;
    int failures_ = 0;
    int checks_ = 0;
};

}  // namespace demo
