// Calls the export the way a caller without a prototype does: push the two
// arguments, call, and look at the stack pointer afterwards. A function
// that removes its own 8 bytes of arguments leaves it where it was before
// the pushes.
#pragma once

#include "tests/e2e/quorvant_library.h"

#include <cstdint>

namespace e2e {

struct stack_probe {
    int result = 0;
    std::uint32_t esp_before = 0;  // before the two pushes
    std::uint32_t esp_after = 0;   // right after the call returned
};

stack_probe call_pushing_arguments(installdevice_fn entry, const char* inf_path,
                                   const char* compact_id);

}  // namespace e2e
