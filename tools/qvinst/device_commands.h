// The commands that need Windows (commands.def) and --version with the
// DLL's version.
#pragma once

#include "tools/qvinst/command_line.h"
#include "tools/qvinst/command_result.h"

namespace qvinst {

command_result run_list(const invocation& call);
command_result run_find(const invocation& call);
// Through the DLL's export; with --explain, the library's routine in
// qvinst, step by step.
command_result run_install(const invocation& call);
command_result run_version();

}  // namespace qvinst
