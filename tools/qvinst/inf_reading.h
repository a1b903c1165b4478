// What an INF offers a device, read through the Setup API's INF functions:
// whether it is an INF at all, its models sections with the decorations
// that select them, and its exclusions from automatic selection.
//
// Which models section of a manufacturer line the platform reads: a
// decoration is NT[architecture][.major[.minor[.product type[.suite
// mask[.build]]]]]. It applies when its architecture is the system's (no
// architecture: x86 only), its version is not above the system's, its
// product type (when given) is the system's, the system has every suite of
// its mask, and its build is not above the system's. Of those that apply the
// platform reads one: the highest version, then the one that names a product
// type or suite, then the one that names the architecture, then the first
// listed. When none applies, an x86 system reads the undecorated section and
// a 64-bit one reads none.
#pragma once

#include "install/bridge/machines.h"
#include "tools/qvinst/install_reports.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

struct target_system {
    std::string_view architecture;  // "x86", "amd64" or "arm64"
    unsigned long major = 0;
    unsigned long minor = 0;
    unsigned long product_type = 0;  // VER_NT_WORKSTATION, ...
    unsigned long suite_mask = 0;
    unsigned long build = 0;
};

inline constexpr std::string_view build_architecture = wow64::this_build.architecture;

// Equal without regard to letter case, as the platform compares an INF's
// names and IDs.
bool same_text(std::string_view a, std::string_view b);

// The index in `listed` of the decoration the platform reads; none for the
// undecorated section or none at all.
std::optional<std::size_t> chosen_decoration(const std::vector<std::string>& listed,
                                             const target_system& system);

// Whether it reads the undecorated section of a line with these decorations.
bool reads_undecorated(const std::vector<std::string>& listed, const target_system& system);

// Whether `decoration` is for `system`'s architecture ("": x86 only).
bool for_architecture(std::string_view decoration, const target_system& system);

// One line of a models section: a driver the platform can build.
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

// Whether `id` is in `ids`, by same_text.
bool contains_id(const std::vector<std::string>& ids, std::string_view id);

}  // namespace qvinst
