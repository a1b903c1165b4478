// Driver packages in the driver store: staging a package from its INF, and
// removing a package together with the driver it gave to devices.
//
// Windows publishes a staged package under a name of its own in the
// system's INF folder (oem12.inf). That name is asked of the Setup API,
// never read from a tool's output: copying the INF into the INF folder
// without overwriting fails with ERROR_FILE_EXISTS for a package that is
// staged already and returns its published name. A device's driver key
// names the INF its driver came from ("InfPath", the published name): that
// alone, not the hardware ID, says which devices use a package.
#pragma once

#include "install/package_results.h"
#include "install/texts.h"
#include "platform/platform.h"

#include <cstddef>
#include <string_view>

namespace driver_package {

// The name of a staged package in the system's INF folder: a file name.
using published_name = ID_MAIN2::bounded_text<platform::max_path>;

struct outcome {
    result what;
    DWORD error;          // the platform's error behind a refusal or failure; 0 otherwise
    published_name name;  // the package's published name; empty when there is none
    DWORD devices_removed;  // remove: the devices whose driver was removed
};

// Stages the package of the INF at `inf_path` (its whole folder; a relative
// path counts from the current folder): staged, already_staged,
// inf_missing or not_a_package.
outcome stage(const char* inf_path);

// Removes the package that `operand` names, an INF path (the original INF,
// staged from it) or a published name (see is_published_name). Every
// device, present or not, whose driver key names the package loses its
// driver, through the class installer (DIF_REMOVE); then the package leaves
// the driver store, forced only when every device's driver key was read
// and none uses the package any more. removed, removed_restart_needed,
// nothing_to_remove (also the second time), inf_missing,
// device_kept_driver (the package is then left alone) or package_kept.
outcome remove(const char* operand);

// Whether `operand` is a published name, a bare file name with no folder
// or drive, rather than a path: a file in the current folder is named
// ".\mydriver.inf". Inline, so that the bridge, which asks it, links none
// of the staging and removal code.
inline bool is_published_name(std::string_view operand) {
    return !operand.empty() && operand.find_first_of("\\/:") == std::string_view::npos;
}

}  // namespace driver_package
