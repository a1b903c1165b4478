#include "tests/wine_bench/bare_walk.h"

#include "platform/unique_handle.h"
#include "tests/wine_bench/timing.h"

namespace wine_bench {
namespace {

constexpr DWORD hardware_id_buffer_size = 8192;
constexpr DWORD present_devices_of_all_classes = DIGCF_PRESENT | DIGCF_ALLCLASSES;

HDEVINFO get_present_devices() {
    return SetupDiGetClassDevsA(nullptr, nullptr, nullptr, present_devices_of_all_classes);
}

bool enumerate(HDEVINFO set, DWORD index, SP_DEVINFO_DATA& element) {
    element.cbSize = sizeof element;
    return SetupDiEnumDeviceInfo(set, index, &element) != FALSE;
}

// The buffer is not cleared before each read: the platform writes the
// value, and nothing here reads it.
void read_hardware_ids(HDEVINFO set, SP_DEVINFO_DATA& element) {
    BYTE buffer[hardware_id_buffer_size];
    DWORD value_type = 0;
    DWORD required_size = 0;
    SetupDiGetDeviceRegistryPropertyA(set, &element, SPDRP_HARDWAREID, &value_type, buffer,
                                      hardware_id_buffer_size, &required_size);
}

}  // namespace

unsigned bare_walk() {
    const platform::unique_hdevinfo set{get_present_devices()};
    if (!set.valid()) return 0;
    SP_DEVINFO_DATA element{};
    unsigned visited = 0;
    for (DWORD index = 0; enumerate(set.get(), index, element); ++index) {
        read_hardware_ids(set.get(), element);
        ++visited;
    }
    return visited;
}

walk_phases timed_bare_walk() {
    walk_phases p;
    platform::unique_hdevinfo set;
    p.get_class_devs_us = time_us([&] { set.reset(get_present_devices()); });
    if (!set.valid()) return p;
    SP_DEVINFO_DATA element{};
    for (DWORD index = 0;; ++index) {
        bool more = false;
        p.enumerate_us += time_us([&] { more = enumerate(set.get(), index, element); });
        if (!more) break;
        p.read_property_us += time_us([&] { read_hardware_ids(set.get(), element); });
        ++p.visited;
    }
    p.destroy_us = time_us([&] { set.reset(); });
    return p;
}

}  // namespace wine_bench
