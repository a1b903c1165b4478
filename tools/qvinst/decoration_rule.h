// Which models section of a manufacturer line the platform reads.
//
// A decoration is NT[architecture][.major[.minor[.product type[.suite
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

#include <cstddef>
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

// The architecture this build of qvinst runs as.
inline constexpr std::string_view build_architecture = wow64::this_build.architecture;

// Whether `a` and `b` are the same text without regard to letter case, as
// the platform compares the names and IDs of an INF.
bool same_text(std::string_view a, std::string_view b);

// The index in `listed` of the decoration the platform reads; none when it
// reads the undecorated section or no section of the line.
std::optional<std::size_t> chosen_decoration(const std::vector<std::string>& listed,
                                             const target_system& system);

// Whether the platform reads the undecorated section of a line that lists
// these decorations.
bool reads_undecorated(const std::vector<std::string>& listed, const target_system& system);

// Whether `decoration` is for `system`'s architecture, whatever its version
// ("" for the undecorated section: x86 only).
bool for_architecture(std::string_view decoration, const target_system& system);

}  // namespace qvinst
