#include "demo/steps.h"

namespace demo {

void Steps::stage(const std::string& title) { out_ << "\n== " << ++stages_ << ". " << title << " ==\n"; }

bool Steps::check(bool holds, const std::string& what) {
    ++checks_;
    if (!holds) ++failures_;
    out_ << (holds ? "[ok]   " : "[FAIL] ") << what << "\n";
    out_.flush();
    return holds;
}

bool Steps::fail(const std::string& what, const std::string& why) {
    return check(false, why.empty() ? what : what + ": " + why);
}

void Steps::detail(const std::string& text) { out_ << "         " << text << "\n"; }

void Steps::skipped(const std::string& what) { out_ << "[skip] " << ++stages_ << ". " << what << "\n"; }

}  // namespace demo
