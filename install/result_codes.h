// The result codes as data: one row per code of result_codes.def, for the
// code that checks, names or reports them. The build writes quorvant.h's
// plain C definitions for callers from the same rows.
#pragma once

#include "include/quorvant.h"

#include <cstddef>
#include <string_view>

namespace result_codes {

struct row {
    int value;
    std::string_view name;     // the name in quorvant.h
    std::string_view meaning;  // one line
    int exit_status;           // 0, 3010 or 10 + N for a failure -N
};

inline constexpr row table[] = {
#define QV_RESULT_CODE(name, value, meaning, exit_status, summary) {value, #name, meaning, exit_status},
#include "install/result_codes.def"
#undef QV_RESULT_CODE
};

// Whether `value` is one of the library's result codes.
constexpr bool is_result_code(int value) {
    for (const row& r : table) {
        if (r.value == value) {
            return true;
        }
    }
    return false;
}

// The row of `value`; null for a value outside the table.
constexpr const row* find(int value) {
    for (const row& r : table) {
        if (r.value == value) {
            return &r;
        }
    }
    return nullptr;
}

#define QV_RESULT_CODE(name, value, meaning, exit_status, summary)                     \
    static_assert((value) > 0 ? ((value) == 1 ? (exit_status) == 0 : (exit_status) == 3010) \
                              : (exit_status) == 10 - (value),                         \
                  #name ": the exit status does not follow from the value");
#include "install/result_codes.def"
#undef QV_RESULT_CODE

static_assert(!is_result_code(0) && !is_result_code(-5) && !is_result_code(-6));

}  // namespace result_codes
