// The commands that need Windows: list, find, install and the DLL's part of
// --version.
#pragma once

#include "tools/qvinst/command_result.h"

#include <string>

namespace qvinst {

command_result run_list(bool json);
command_result run_find(const std::string& wanted, bool json);
command_result run_install(const std::string& inf_path, const std::string& compact_id, bool json);
command_result run_version();

}  // namespace qvinst
