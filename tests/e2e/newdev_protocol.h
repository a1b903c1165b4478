// How the end-to-end runner steers the substitute NEWDEV.DLL and learns what
// it was handed. Both run in one process: the runner sets the steering
// variables in the process environment before a call of the library, the
// substitute reads them when the library calls InstallSelectedDriver and
// writes what it saw into the "seen" variables.
#pragma once

namespace newdev_protocol {

// What InstallSelectedDriver does. Unset means succeed_action.
inline constexpr const char* action_variable = "QV_NEWDEV_ACTION";
inline constexpr const char* install_action = "install";  // DIF_INSTALLDEVICE, then succeed
inline constexpr const char* succeed_action = "succeed";  // succeed without touching the device
inline constexpr const char* fail_action = "fail";        // return FALSE

// Reboot word written on success (hexadecimal, default 0).
inline constexpr const char* reboot_variable = "QV_NEWDEV_REBOOT";
// Value returned on success (hexadecimal, default 1).
inline constexpr const char* return_variable = "QV_NEWDEV_RETURN";
// Last error set on failure (hexadecimal, default 0).
inline constexpr const char* error_variable = "QV_NEWDEV_ERROR";

// Written by every call: the number of calls so far in this process.
inline constexpr const char* seen_calls = "QV_NEWDEV_SEEN_CALLS";
// Number of devices in the set the caller passed.
inline constexpr const char* seen_devices = "QV_NEWDEV_SEEN_DEVICES";
// Instance ID of the set's first device.
inline constexpr const char* seen_device = "QV_NEWDEV_SEEN_DEVICE";
// InfFileName of the set's selected driver.
inline constexpr const char* seen_inf = "QV_NEWDEV_SEEN_INF";
// The substitute's own file name, as its module was loaded.
inline constexpr const char* seen_module = "QV_NEWDEV_SEEN_MODULE";
// The three plain arguments: "parent=%x reserved=%x backup=%x" (hexadecimal).
inline constexpr const char* seen_arguments = "QV_NEWDEV_SEEN_ARGS";
// Result of the class installer's DIF_INSTALLDEVICE, "ok" or "error %x".
inline constexpr const char* seen_install = "QV_NEWDEV_SEEN_INSTALL";

}  // namespace newdev_protocol
