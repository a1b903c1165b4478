// The commands that need Windows (commands.def), --version with the DLL's
// version, and the hand-over to the native qvinst under WOW64.
#pragma once

#include "tools/qvinst/command_line.h"
#include "tools/qvinst/command_result.h"

#include <optional>
#include <string>

namespace qvinst {

command_result run_list(const invocation& call);
command_result run_find(const invocation& call);
// Through the DLL's export; with --explain, the library's routine in
// qvinst, step by step (explained_install.cpp).
command_result run_install(const invocation& call);
command_result run_install_explained(const std::string& inf_path, const std::string& compact_id,
                                     bool json);
// The installation routine's stages up to the driver selection, its
// candidate drivers and, when none is selected, the reason
// (driver_survey.cpp).
command_result run_drivers(const invocation& call);
command_result run_version();
// The library's staging and removal of driver packages, refused with 740
// without administrator rights (package_commands.cpp).
command_result run_stage(const invocation& call);
command_result run_remove(const invocation& call);

// On 64-bit Windows a 32-bit process sees other drivers than the
// installation, which runs natively (QUORVANT64.exe), does, and may not
// stage or remove driver packages: there the 32-bit qvinst hands drivers,
// install --explain, stage and remove to the native qvinst in the folder
// beside its own (x64\qvinst.exe), with the same standard handles, and
// ends with its exit status. It gets the same arguments; for stage and
// remove (`package_call`) the INF path is named as the native view names
// the file the caller named. None when this process runs natively;
// exit_no_native_qvinst with a message naming the file when it is missing
// or cannot be started (native_qvinst.cpp).
std::optional<command_result> run_native_qvinst(const invocation* package_call = nullptr);

}  // namespace qvinst
