// What an INF file offers a device, read through the Setup API's INF
// functions: whether it is there and an INF at all, its models sections
// with the decorations that select them, and its exclusions from automatic
// selection. qvinst drivers uses it to say why no driver was selected.
#pragma once

#include "tools/qvinst/driver_reports.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

// One line of a models section: a driver the platform can build from it.
struct model_line {
    std::string manufacturer;  // the manufacturer line's name, as the platform reports it
    std::string description;   // the line's name
    std::string section;       // its install section
    std::vector<std::string> ids;  // its hardware and compatible IDs
    bool applies = false;      // its models section is the one this process reads
};

struct inf_reading {
    no_driver_reason trouble = no_driver_reason::none;  // inf_missing, not_an_inf or none
    std::uint32_t error = 0;  // the platform's error when the file could not be read
    std::vector<model_section> models;
    std::vector<model_line> lines;  // every line of every models section, in file order
    std::vector<std::string> excluded_ids;  // ExcludeFromSelect; "*" excludes every driver
};

inf_reading read_inf_models(const std::string& path);

// Whether `id` is in `ids`, compared as the platform compares IDs: without
// regard to letter case.
bool contains_id(const std::vector<std::string>& ids, std::string_view id);

}  // namespace qvinst
