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
#include "platform/unique_handle.h"

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

// What a stage of the installation, or the whole routine, ends with: a
// result code of quorvant.h, or `proceed` when the next stage is to run;
// and the platform's error of the step that decided it (0 when no step
// failed). A stage that proceeds carries the error of the first step that
// failed without ending it, the likeliest reason for a later failure.
struct outcome {
    int result;
    DWORD error;
};
inline constexpr int proceed = 0;  // no result code of the library

// The steps of one call, in the order they can happen.
enum class step {
    devices_listed,         // the walk's set of present devices
    device_chosen,          // detail: the instance ID (empty: none); value: devices walked
    set_created,            // the installation's set
    device_opened,          // detail: the instance ID
    device_selected,        // made the set's selected device
    install_params_read,
    search_limited,         // detail: the INF path the driver search is limited to
    driver_list_built,      // the compatible drivers of the INF
    class_installer_run,    // DIF_SELECTBESTCOMPATDRV
    driver_selected,        // detail: the selected driver's description
    system_directory_read,  // detail: the directory
    newdev_loaded,          // detail: the path loaded
    entry_point_found,      // detail: the entry point's name
    installer_called,       // value: the reboot word
    newdev_freed,
    set_destroyed,
};

// One step as it ended. The texts and the set live only during the report.
struct step_report {
    step what;
    bool ok;
    DWORD error;                // the platform's error when !ok, else 0
    std::string_view detail;    // see step
    DWORD value;                // see step
    HDEVINFO set;               // the installation's set; null outside it
    SP_DEVINFO_DATA* element;   // the device's element in `set`; null outside it
};

// Where the routine reports its steps: a function and a context of the
// caller's. Optional everywhere: a null sink costs one test per step.
struct step_sink {
    void (*report)(void* context, const step_report& report);
    void* context;
};

// What the search found: `proceed` with the instance ID of the device to
// install onto, or -1 (no device) or -10 (no memory to store the wanted ID)
// with the platform's error that decided it. The instance ID is
// zero-terminated and stays valid until the next search.
struct search_result {
    outcome end;
    std::string_view instance_id;
};

// A step of the walk over present devices: receives the walk set, the
// element of one device and a context of the caller's.
using device_callback = void (*)(HDEVINFO set, SP_DEVINFO_DATA& element, void* context);

// A caller's look at every device the search walks, after the search's own
// step has matched it: a callback and its context. Null in the library.
struct device_visitor {
    device_callback visit;
    void* context;
};

// Stores `wanted` in wanted_compact_id, empties found_instance_id and walks
// all present devices with match_device, and with `also` when it is set.
search_result find_device_instance_id(std::string_view wanted, const step_sink* sink = nullptr,
                                      device_visitor also = {nullptr, nullptr});

// How a walk ended: whether the present devices could be listed, how many
// were walked, and the platform's error of the listing when it failed, else
// of the enumeration call that ended the walk (ERROR_NO_MORE_ITEMS after
// the last device).
struct walk_end {
    bool listed;
    DWORD devices;
    DWORD error;
};

// Calls `callback` with `context` for every present device of every setup
// class, in enumeration order, until the enumeration ends or fails.
walk_end walk_present_devices(device_callback callback, void* context);

// The walk with a callable `step(set, element)` that keeps its own state.
template <typename Step>
walk_end walk_present_devices(Step& step) {
    return walk_present_devices(
        [](HDEVINFO set, SP_DEVINFO_DATA& element, void* context) {
            (*static_cast<Step*>(context))(set, element);
        },
        &step);
}

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

// An INF path made full once: a helper is handed the one its caller made
// (`already_full`), which is taken as it stands.
struct given_inf {
    given_inf(const char* path, bool full = false) noexcept : text(path), already_full(full) {}
    const char* text;  // zero-terminated; null counts as empty
    bool already_full;
};

// The INF path as the driver search is given it: absolute, counted from the
// process's current folder when it is relative (a bare file name would
// otherwise be looked up in the system's INF folder), and whole. Empty when
// the path cannot be resolved or DriverPath cannot hold it (a cut path
// could name another file), with the reason as the thread's last error
// (ERROR_FILENAME_EXCED_RANGE for a path too long). A path `already_full`
// is only checked against DriverPath.
using full_path = bounded_text<platform::max_path>;
full_path full_inf_path(given_inf inf);

// Installs the driver from the INF file `inf` (a relative path counts from
// the process's current folder) onto the device that `wanted` names,
// reporting each step to `sink`. Returns one of the result codes of
// quorvant.h and leaves the platform's error of the step that decided it as
// the thread's last error (0 after an installation). Runs select_driver and
// run_install_selected_driver in order.
int install_driver_for_device(HWND parent, std::string_view wanted, given_inf inf,
                              const step_sink* sink = nullptr);

// The stages up to the driver selection, which both the installation and a
// dry run of it take: -4 for an empty INF path, with no search; the search
// for `wanted`, the INF path made full (-2 when it cannot be), a set
// of its own (`out.set`, invalid when none could be made) with the device
// opened in it as its selected device, its driver search limited to the INF
// (-2 when the restriction cannot be stored), its compatible-driver list
// built and the class installer's choice of the best driver (-2 when none
// is selected). `proceed` when a driver is selected in `out.set`.
struct selection {
    platform::unique_hdevinfo set;
    SP_DEVINFO_DATA element;
};
outcome select_driver(std::string_view wanted, given_inf inf, selection& out,
                      const step_sink* sink = nullptr);

// The last stage: loads NEWDEV.DLL from the system directory and installs
// the driver that is selected in `set`. Returns 3, 2, 1, -3, -7, -8 or -9.
outcome run_install_selected_driver(HWND parent, HDEVINFO set, const step_sink* sink = nullptr);

}  // namespace ID_MAIN2
