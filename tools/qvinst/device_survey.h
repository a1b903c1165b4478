// The present devices and the library's choice among them, read with the
// library's own walk (ID_MAIN2::walk_present_devices), its own per-device
// match step and its own search, so that qvinst's answers are the
// library's answers.
#pragma once

#include "tools/qvinst/device_rows.h"

#include <optional>
#include <string_view>
#include <vector>

namespace qvinst {

// Every present device in enumeration order.
std::vector<device_row> survey_present_devices();

// The devices that match `wanted`, decided by the library's match rule, and
// the device that the library's search ends with. One walk: the library's
// own search step runs for every device, and the matches are collected
// beside it. None when the library has no memory to start the search.
std::optional<find_outcome> find_matching_devices(std::string_view wanted);

}  // namespace qvinst
