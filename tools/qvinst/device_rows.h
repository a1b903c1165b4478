// What qvinst knows about present devices: the rows of list and find,
// read with the library's own walk and its own search (device_survey.cpp),
// so that qvinst's answers are the library's answers.
#pragma once

#include "idconv/id_conv.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

// One present device, read the way the library's search reads it.
struct device_row {
    std::string instance_id;  // empty when it cannot be read
    std::string hardware_id;  // the first hardware ID; empty when there is none
    std::string compact_id;   // empty when the hardware ID has none
};

// What the library's search makes of a wanted compact ID.
struct find_outcome {
    std::string wanted;
    idconv::match_rule rule = idconv::match_rule::whole_text;
    std::vector<device_row> matches;  // every matching device, in enumeration order
    // The instance ID the library's search ends with (empty: no device, and
    // an installation would end with -1), and the row of `matches` it names.
    std::string chosen_instance_id;
    std::optional<std::size_t> chosen_row;
};

// Fills in chosen_row from chosen_instance_id: the last match with that
// instance ID, as the search keeps the last match.
void mark_chosen_row(find_outcome& outcome);

// Every present device in enumeration order.
std::vector<device_row> survey_present_devices();

// The devices that match `wanted`, decided by the library's match rule, and
// the device that the library's search ends with. One walk: the library's
// own search step runs for every device, and the matches are collected
// beside it. None when the library has no memory to start the search.
std::optional<find_outcome> find_matching_devices(std::string_view wanted);

}  // namespace qvinst
