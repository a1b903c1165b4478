// Each machine's helper file name as the runners and benchmarks use it,
// narrow, from the one machine table.
#pragma once

#include "install/bridge/machines.h"

#include <cstddef>

namespace e2e {

inline constexpr const char* helper_files[] = {
#define QV_MACHINE(name, number, architecture, folder, helper, description, processor) helper,
#include "install/bridge/machines.def"
#undef QV_MACHINE
};

constexpr const char* helper_file(wow64::machine_name machine) {
    return helper_files[static_cast<std::size_t>(machine)];
}

}  // namespace e2e
