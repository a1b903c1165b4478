// install --explain: the library's own installation routine, reporting
// each step it takes.
#pragma once

#include "tools/qvinst/command_result.h"
#include "tools/qvinst/driver_reports.h"

#include <cstdint>
#include <string>

namespace qvinst {

// Runs the installation as QUORVANT.dll does and reports every step: as
// text, each line written as the step ends; as JSON, one object at the end.
command_result run_install_explained(const std::string& inf_path, const std::string& compact_id,
                                     bool json);

// The platform error's name and text: the Setup API's from qvinst's table,
// the system's text from the system.
platform_error describe_platform_error(std::uint32_t code);

}  // namespace qvinst
