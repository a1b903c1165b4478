#include "tests/e2e/stdcall_probe.h"

#include <cstddef>

namespace e2e {
namespace {

// The frame the assembly reads and writes through one register (esi), which
// the callee preserves; no operand is addressed relative to esp, so a
// callee that leaves esp wrong cannot misdirect the stores.
struct call_frame {
    installdevice_fn entry;      // offset 0
    const char* inf_path;        // offset 4
    const char* compact_id;      // offset 8
    std::uint32_t esp_before;    // offset 12
    std::uint32_t esp_after;     // offset 16
    int result;                  // offset 20
};
static_assert(offsetof(call_frame, inf_path) == 4 && offsetof(call_frame, compact_id) == 8 &&
                  offsetof(call_frame, esp_before) == 12 && offsetof(call_frame, esp_after) == 16 &&
                  offsetof(call_frame, result) == 20,
              "the assembly below addresses the frame by these offsets");

}  // namespace

stack_probe call_pushing_arguments(installdevice_fn entry, const char* inf_path,
                                   const char* compact_id) {
    call_frame frame{entry, inf_path, compact_id, 0, 0, 0};
    // Arguments pushed right to left, as the standard convention has it.
    // Afterwards esp is put back from the saved value, so the probe survives
    // a callee that removes the wrong number of bytes.
    __asm__ __volatile__(
        "movl %%esp, 12(%%esi)\n\t"
        "pushl 8(%%esi)\n\t"
        "pushl 4(%%esi)\n\t"
        "call *0(%%esi)\n\t"
        "movl %%esp, 16(%%esi)\n\t"
        "movl 12(%%esi), %%esp\n\t"
        "movl %%eax, 20(%%esi)\n\t"
        :
        : "S"(&frame)
        : "eax", "ecx", "edx", "memory", "cc");
    return {frame.result, frame.esp_before, frame.esp_after};
}

}  // namespace e2e
