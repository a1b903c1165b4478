#include "tests/e2e/case_log.h"

#include <cstdio>

namespace e2e {

std::string checks::summary() const {
    std::string text;
    for (const auto& p : problems_) text += (text.empty() ? "" : "; ") + p;
    for (const auto& n : notes_) text += (text.empty() ? "" : "; ") + n;
    return text;
}

void case_log::record(const std::string& name, const checks& outcome) {
    const bool ok = outcome.passed();
    ok ? ++passed_ : ++failed_;
    const std::string detail = outcome.summary();
    std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", name.c_str(), detail.empty() ? "" : ": ",
                detail.c_str());
    std::fflush(stdout);
}

void case_log::print_total() const {
    std::printf("%d passed, %d failed\n", passed_, failed_);
    std::fflush(stdout);
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace e2e
