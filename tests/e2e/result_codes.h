// The result codes of qv7_installdevice as the tests expect them: written
// out here rather than taken from quorvant.h, so a wrong value there fails.
#pragma once

namespace e2e {

namespace result {
inline constexpr int restart = 3;
inline constexpr int reboot = 2;
inline constexpr int installed = 1;
inline constexpr int no_device = -1;
inline constexpr int no_driver = -2;
inline constexpr int install_failed = -3;
inline constexpr int no_inf_path = -4;
inline constexpr int no_newdev = -7;
inline constexpr int non_nt_driver = -8;
inline constexpr int no_entry_point = -9;
inline constexpr int out_of_memory = -10;
}  // namespace result

}  // namespace e2e
