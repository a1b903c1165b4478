// INF files that the cases hand to the library: one driver for one hardware
// ID, installed onto System-class devices, marking the driver key through
// its AddReg section so a case can tell which INF was installed.
#pragma once

#include <string>

namespace e2e {

// The driver-key value every generated INF writes.
inline constexpr const char* marker_value_name = "QuorvantE2eMarker";

struct driver_package {
    std::string hardware_id;                       // the model line's ID
    std::string description = "Quorvant test device";  // DriverDesc
    std::string driver_ver = "01/15/2024,1.0.0.0";     // DriverVer line
    std::string marker = "e2e";                    // written to marker_value_name
};

std::string driver_inf_text(const driver_package& package);

// Folder for the files of one run, with a trailing backslash; created on use.
std::string work_folder();

// Writes `bytes` to `path`, replacing the file.
bool write_file(const std::string& path, const std::string& bytes);

// The Windows folder's inf directory, with a trailing backslash.
std::string windows_inf_folder();

}  // namespace e2e
