// qvinst list and find: present devices read by the library's own walk and
// decided by its own search, so that qvinst's answers are the library's.
//
// Plain text: one device per line, its fields separated by a tab (instance
// ID, first hardware ID, compact ID), "-" for an empty field. find puts "* "
// in front of the device the library would choose and "  " in front of the
// others, between a "wanted:"/"rule:" head and a "chosen:" line.
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
    // The instance ID the library's search ends with (empty: no device, and
    // an installation would end with -1), and the row of `matches` it names:
    // the last one with that instance ID (mark_chosen_row).
    std::string chosen_instance_id;
    std::optional<std::size_t> chosen_row;
};
void mark_chosen_row(find_outcome& outcome);

// Every present device in enumeration order.
std::vector<device_row> survey_present_devices();
// One walk: the library's own search step runs for every device, and the
// matches are collected beside it. None when the library has no memory to
// start the search.
std::optional<find_outcome> find_matching_devices(std::string_view wanted);

// The text, or {"devices":[{"instance_id":..,"hardware_id":..,"compact_id":..},..]}.
std::string list_report(const std::vector<device_row>& devices, bool json);
// The text, or {"wanted":..,"rule":..,"devices":[{..,"chosen":bool},..],"chosen":ID|null}.
std::string find_report(const find_outcome& outcome, bool json);
// exit_success when the library would choose a device, else the exit
// status of QV7_E_NO_DEVICE.
int find_exit_status(const find_outcome& outcome);

}  // namespace qvinst
