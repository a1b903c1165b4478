// The driver operations of the custom actions, one function each: the
// actions call nothing else of the library. Each runs the library's own
// code for the operation, in this process or, where this process may not
// install drivers (a 32-bit action on 64-bit Windows), in the native helper
// that machines.def names for the system, from the folder `helpers`.
//
// The action runs from the Binary table, extracted to a temporary file of
// Windows Installer's own: no helper stands beside it, so the package
// installs the helpers as files of the product and names their folder (a
// full path, in a folder only administrators may write). An empty
// `helpers` looks for the helper beside this module only.
#pragma once

#include "install/driver_package.h"
#include "platform/platform.h"

#include <string_view>

namespace custom_action {

// qv7_installdevice's result code, and the last error it left.
struct installed {
    int result;
    DWORD error;
};
installed install_driver(const char* inf_path, const char* compact_id, std::wstring_view helpers);

// driver_package::stage and driver_package::remove; through the helper
// they may end with no_helper_answer.
driver_package::outcome stage_package(const char* inf_path, std::wstring_view helpers);
driver_package::outcome remove_package(const char* operand, std::wstring_view helpers);

}  // namespace custom_action
