// What samples/quorvant-sample.inf installs, and onto which device: the
// figures the setup-program cases check and the demo shows.
#pragma once

#include <string>
#include <vector>

namespace e2e::sample {

inline constexpr const char* inf_file_name = "quorvant-sample.inf";
inline const std::vector<std::string> hardware_ids = {
    "PCI\\VEN_5156&DEV_0001&SUBSYS_00015156&REV_01", "PCI\\VEN_5156&DEV_0001&SUBSYS_00015156"};
// Tag, vendor, device and subsystem (halves swapped): the first 19 characters.
inline constexpr const char* compact_id = "PCI5156000151560001";
inline constexpr const char* description = "Quorvant sample device";
inline constexpr const char* version_value = "QuorvantSampleVersion";
inline constexpr const char* version = "1.2.0.0";

}  // namespace e2e::sample
