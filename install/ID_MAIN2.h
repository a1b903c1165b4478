// ID_MAIN2: the device search and the installation routine.
//
// The search walks every present device, converts its first hardware ID to
// a compact ID and remembers the instance ID of the last device that matches
// the wanted one. The installation opens that device alone in a set of its
// own, limits the driver search to one INF file, lets the class installer
// choose the best compatible driver and hands the choice to NEWDEV.DLL.
#pragma once

#include "install/texts.h"
#include "platform/platform.h"

#include <cstddef>
#include <string_view>

namespace ID_MAIN2 {

// Sizes of the buffers the search reads device properties into.
inline constexpr DWORD hardware_id_buffer_size = 8192;
inline constexpr DWORD instance_id_buffer_size = 256;
// Flags of the walk over present devices of every setup class.
inline constexpr DWORD present_devices_of_all_classes = DIGCF_PRESENT | DIGCF_ALLCLASSES;

using property_text = bounded_text<hardware_id_buffer_size>;
using instance_id_text = bounded_text<instance_id_buffer_size>;

// The library's state between calls: the wanted compact ID of the last call
// that searched, and the instance ID its search found (empty when none).
// The export serialises calls, so one search at a time uses them.
extern kept_text wanted_compact_id;
extern instance_id_text found_instance_id;

// A step of the walk over present devices: receives the walk set and the
// element of one device.
using device_step = void (*)(HDEVINFO set, SP_DEVINFO_DATA& element);
// The same with a context of the caller's, for steps that keep state.
using device_callback = void (*)(HDEVINFO set, SP_DEVINFO_DATA& element, void* context);

// Stores `wanted` in wanted_compact_id, empties found_instance_id and walks
// all present devices with match_device. Returns false, without walking,
// when there is no memory to store `wanted`.
bool find_device_instance_id(std::string_view wanted);

// The start of every search: empties found_instance_id and stores `wanted`
// in wanted_compact_id; false when there is no memory to store it.
bool start_search(std::string_view wanted);

// Calls `callback` with `context` for every present device of every setup
// class, in enumeration order, until the enumeration ends or fails.
void walk_present_devices(device_callback callback, void* context);

// The walk with a callable `step(set, element)` that keeps its own state.
template <typename Step>
void walk_present_devices(Step& step) {
    walk_present_devices(
        [](HDEVINFO set, SP_DEVINFO_DATA& element, void* context) {
            (*static_cast<Step*>(context))(set, element);
        },
        &step);
}

// The walk with a plain function as its step.
void enum_present_devices(device_step step);

// Overwrites found_instance_id with the device's instance ID when its
// compact ID matches wanted_compact_id.
void match_device(HDEVINFO set, SP_DEVINFO_DATA& element);

// The rule match_device applies: a device whose compact ID is empty never
// matches; any other is compared with the wanted ID as the first operand.
bool device_matches(std::string_view wanted, std::string_view device_compact_id);

// The device's registry property `property` as text up to its first zero
// byte; empty when it cannot be read.
property_text read_device_registry_string(HDEVINFO set, SP_DEVINFO_DATA& element, DWORD property);

// The device's instance ID; empty when it cannot be read.
instance_id_text read_device_instance_id(HDEVINFO set, SP_DEVINFO_DATA& element);

// The INF path as the driver search is given it: absolute, counted from the
// process's current folder when it is relative (a bare file name would
// otherwise be looked up in the system's INF folder), and whole. Empty when
// the path cannot be resolved or DriverPath cannot hold it: a cut path
// could name another file.
using full_path = bounded_text<platform::max_path>;
full_path full_inf_path(const char* inf_path);

// Installs the driver from the INF file at `inf_path` (zero-terminated; a
// relative path counts from the process's current folder) onto the device
// that `wanted` names. Returns one of the result codes of quorvant.h.
int install_driver_for_device(HWND parent, std::string_view wanted, const char* inf_path);

// Loads NEWDEV.DLL from the system directory and installs the driver that is
// selected in `set`. Returns 3, 2, 1, -3, -7, -8 or -9.
int run_install_selected_driver(HWND parent, HDEVINFO set);

}  // namespace ID_MAIN2
