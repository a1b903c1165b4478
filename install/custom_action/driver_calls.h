// The driver operations of the custom actions, one function each: the
// actions call nothing else of the library. Each runs the library's own
// code for the operation in this process.
#pragma once

#include "install/driver_package.h"
#include "platform/platform.h"

namespace custom_action {

// qv7_installdevice's result code, and the last error it left.
struct installed {
    int result;
    DWORD error;
};
installed install_driver(const char* inf_path, const char* compact_id);

// driver_package::stage and driver_package::remove.
driver_package::outcome stage_package(const char* inf_path);
driver_package::outcome remove_package(const char* operand);

}  // namespace custom_action
