// The bare walk: the Setup API calls the library's device search makes for
// a wanted ID that matches no device, and nothing else. Present devices of
// every setup class, each device's hardware-ID list read into an 8192-byte
// buffer, the set destroyed; no conversion, no comparison, no text copied.
// The search benchmark sets its time against the library's.
#pragma once

namespace wine_bench {

// Walks every present device; returns how many it visited.
unsigned bare_walk();

// Where the time of one bare walk goes, in microseconds.
struct walk_phases {
    unsigned visited = 0;
    double get_class_devs_us = 0;  // SetupDiGetClassDevsA
    double enumerate_us = 0;       // every SetupDiEnumDeviceInfo, the last (failing) one included
    double read_property_us = 0;   // every SetupDiGetDeviceRegistryPropertyA
    double destroy_us = 0;         // SetupDiDestroyDeviceInfoList
};

// One bare walk, timed call by call. The clock reads add to the total; the
// phases are for telling which call grows with the number of devices.
walk_phases timed_bare_walk();

}  // namespace wine_bench
