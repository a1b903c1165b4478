// qvinst drivers: the installation routine's stages up to the driver
// selection, its candidate drivers and, when none is selected, the reason.
#pragma once

#include "tools/qvinst/command_line.h"
#include "tools/qvinst/command_result.h"

namespace qvinst {

command_result run_drivers(const invocation& call);

}  // namespace qvinst
