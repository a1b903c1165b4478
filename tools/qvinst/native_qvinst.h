// On 64-bit Windows a 32-bit process sees other drivers than the
// installation, which runs natively (QUORVANT64.exe), does: there the
// 32-bit qvinst hands drivers and install --explain to the native qvinst in
// the folder beside its own (x64\qvinst.exe), with the same arguments and
// the same standard handles, and ends with its exit status.
#pragma once

#include "tools/qvinst/command_result.h"

#include <optional>

namespace qvinst {

// None when this process runs natively; otherwise the native qvinst's exit
// status, or exit_no_native_qvinst with a message naming the file when it
// is missing or cannot be started.
std::optional<command_result> run_native_qvinst();

}  // namespace qvinst
