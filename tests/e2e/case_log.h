// The runner's record of its cases: one line per case as it finishes, and
// the closing "N passed, M failed" line.
#pragma once

#include <cstring>
#include <string>
#include <vector>

namespace e2e {

// "file.cpp:123: ", where a check was made.
inline std::string check_site(const char* file, int line) {
    const char* slash = std::strrchr(file, '/');
    return std::string(slash ? slash + 1 : file) + ":" + std::to_string(line) + ": ";
}

// What one case found wrong, each with the file and line of its check;
// empty when everything held.
class checks {
public:
    void expect(bool holds, const std::string& what, const char* file = __builtin_FILE(),
                int line = __builtin_LINE()) {
        if (!holds) problems_.push_back(check_site(file, line) + what);
    }
    template <typename T>
    void expect_equal(const std::string& what, const T& got, const T& wanted,
                      const char* file = __builtin_FILE(), int line = __builtin_LINE());
    void expect_result(int got, int wanted, const char* file = __builtin_FILE(),
                       int line = __builtin_LINE()) {
        expect_equal("result", got, wanted, file, line);
    }
    // Notes printed with the case whatever its outcome (figures, names).
    void note(const std::string& text) { notes_.push_back(text); }

    bool passed() const { return problems_.empty(); }
    std::string summary() const;

private:
    std::vector<std::string> problems_;
    std::vector<std::string> notes_;
};

class case_log {
public:
    void record(const std::string& name, const checks& outcome);
    int passed() const { return passed_; }
    int failed() const { return failed_; }
    void print_total() const;

private:
    int passed_ = 0;
    int failed_ = 0;
};

std::string quoted(const std::string& text);
inline std::string describe(int value) { return std::to_string(value); }
inline std::string describe(unsigned long value) { return std::to_string(value); }
inline std::string describe(const std::string& value) { return quoted(value); }

template <typename T>
void checks::expect_equal(const std::string& what, const T& got, const T& wanted, const char* file,
                          int line) {
    if (!(got == wanted)) {
        problems_.push_back(check_site(file, line) + what + " " + describe(got) + ", wanted " +
                            describe(wanted));
    }
}

}  // namespace e2e
