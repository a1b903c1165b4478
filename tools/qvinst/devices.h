// qvinst list and find: present devices read by the library's own walk and
// decided by its own search, so that qvinst's answers are the library's.
// A device is a line of tab-separated fields: instance ID, first hardware
// ID, compact ID. find marks the one the library would choose with "* ".
#pragma once

#include "idconv/id_conv.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

struct device_row {
    std::string instance_id;  // empty when it cannot be read
    std::string hardware_id;  // the first hardware ID; empty when there is none
    std::string compact_id;   // empty when the hardware ID has none
};

struct find_outcome {
    std::string wanted;
    idconv::match_rule rule = idconv::match_rule::whole_text;
    std::vector<device_row> matches;  // every matching device, in enumeration order
    // The instance ID the library's search ends with (empty: none, and an
    // installation ends with -1), and the last row of `matches` with it.
    std::string chosen_instance_id;
    std::optional<std::size_t> chosen_row;
};
void mark_chosen_row(find_outcome& outcome);

std::vector<device_row> survey_present_devices();  // in enumeration order
// One walk: the library's search step runs for every device, and the
// matches are collected beside it. None when the search has no memory.
std::optional<find_outcome> find_matching_devices(std::string_view wanted);

// The text, or {"devices":[{"instance_id":..,"hardware_id":..,"compact_id":..},..]}.
std::string list_report(const std::vector<device_row>& devices, bool json);
// The text, or {"wanted":..,"rule":..,"devices":[{..,"chosen":bool},..],"chosen":ID|null}.
std::string find_report(const find_outcome& outcome, bool json);
// exit_success when the library would choose a device, else -1's status.
int find_exit_status(const find_outcome& outcome);

}  // namespace qvinst
