// What staging or removing a driver package ends with, as data: one row
// per result of package_results.def, for the code that stages and removes
// (driver_package.h) and the code that reports it. No platform code.
#pragma once

#include <cstddef>
#include <string_view>

namespace driver_package {

enum class result {
#define QV_PACKAGE_RESULT(name, exit_status, meaning) name,
#include "install/package_results.def"
#undef QV_PACKAGE_RESULT
};

struct result_row {
    result what;
    std::string_view name;
    int exit_status;
    std::string_view meaning;  // one line
};

inline constexpr result_row result_rows[] = {
#define QV_PACKAGE_RESULT(name, exit_status, meaning) {result::name, #name, exit_status, meaning},
#include "install/package_results.def"
#undef QV_PACKAGE_RESULT
};

constexpr const result_row& describe(result what) {
    return result_rows[static_cast<std::size_t>(what)];
}

}  // namespace driver_package
