// qv_search_bench: what the library's device search costs under Wine over
// what the platform's own calls cost.
//
//   qv_search_bench LIBRARY [--repetitions N] [SIZE...]    (default 250 500 1000 2000)
//
// For each size, in increasing order, bench devices are added until that
// many are present (bench_devices.h), then two steps run alternately,
// A B A B ..., N times each after one warm-up run of each:
//   A  qv7_installdevice(INF, "PNPZZZ0000"): the search walks every present
//      device, converts every hardware ID and matches none, so the call
//      returns -1 before the INF file is read (the file need not exist);
//   B  the bare walk (bare_walk.h): the same Setup API calls, no conversion.
// One line per size reports the medians:
//   result size=.. present=.. create_s=.. library_us=.. bare_us=.. ratio=..
//          library_us_per_device=.. bare_us_per_device=.. excess_us_per_device=..
// present counts every device the walk visits (the bench devices and the
// prefix's own); library_us and bare_us are the medians of each step's runs;
// ratio and excess are the medians over the adjacent pairs (A / B and
// A - B), which a drift of the machine's speed during the series moves less.
// A commentary line after each shows where the time of one bare walk goes,
// call by call (bare_walk.h); lines starting with "#" are commentary.
// Exit code 1 when a device cannot be created or the library does not
// return -1.
#include "tests/e2e/quorvant_library.h"
#include "tests/wine_bench/bare_walk.h"
#include "tests/wine_bench/bench_devices.h"
#include "tests/wine_bench/timing.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* unread_inf_path = "C:\\qv-search-bench\\never-read.inf";
constexpr int no_device = -1;
constexpr unsigned default_repetitions = 15;
const std::vector<unsigned> default_sizes = {250, 500, 1000, 2000};

int usage() {
    std::fputs("usage: qv_search_bench LIBRARY [--repetitions N] [SIZE...]\n", stderr);
    return 2;
}

struct measurement {
    unsigned present = 0;
    double library_us = 0;  // median of the library's runs
    double bare_us = 0;     // median of the bare walk's runs
    double ratio = 0;       // median of library / bare over the adjacent pairs
    double excess_us = 0;   // median of library - bare over the adjacent pairs
};

// The interleaved series for the devices present now; false when the
// library's result is not -1 (a bench device matched, or the call failed).
bool measure(const e2e::quorvant_library& library, unsigned repetitions, measurement& m) {
    int code = 0;
    auto library_call = [&] {
        code = library.install(unread_inf_path, wine_bench::unmatched_compact_id);
    };
    auto walk = [&] { m.present = wine_bench::bare_walk(); };
    library_call();
    walk();
    std::vector<double> library_times;
    std::vector<double> bare_times;
    std::vector<double> ratios;
    std::vector<double> excesses;
    for (unsigned r = 0; r < repetitions; ++r) {
        const double a = wine_bench::time_us(library_call);
        if (code != no_device) {
            std::printf("# the library returned %d, wanted %d\n", code, no_device);
            return false;
        }
        const double b = wine_bench::time_us(walk);
        library_times.push_back(a);
        bare_times.push_back(b);
        ratios.push_back(a / b);
        excesses.push_back(a - b);
    }
    m.library_us = wine_bench::median(library_times);
    m.bare_us = wine_bench::median(bare_times);
    m.ratio = wine_bench::median(ratios);
    m.excess_us = wine_bench::median(excesses);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string library_path = argv[1];
    unsigned repetitions = default_repetitions;
    std::vector<unsigned> sizes;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--repetitions" && i + 1 < argc) {
            repetitions = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            sizes.push_back(static_cast<unsigned>(std::strtoul(arg.c_str(), nullptr, 10)));
        }
    }
    if (sizes.empty()) sizes = default_sizes;
    if (repetitions == 0) return usage();

    e2e::quorvant_library library(library_path);
    if (!library.loaded()) {
        std::printf("# %s\n", library.error().c_str());
        return 1;
    }
    std::printf("# prefix's own devices: %u; %u interleaved runs of each step per size\n",
                wine_bench::bare_walk(), repetitions);
    std::fflush(stdout);

    wine_bench::device_population devices;
    for (unsigned size : sizes) {
        std::string error;
        bool created = false;
        const double create_us =
            wine_bench::time_us([&] { created = devices.grow_to(size, error); });
        if (!created) {
            std::printf("# cannot create devices: %s\n", error.c_str());
            return 1;
        }
        measurement m;
        if (!measure(library, repetitions, m)) return 1;
        std::printf("result size=%u present=%u create_s=%.2f library_us=%.0f bare_us=%.0f "
                    "ratio=%.3f library_us_per_device=%.2f bare_us_per_device=%.2f "
                    "excess_us_per_device=%.2f\n",
                    size, m.present, create_us / 1e6, m.library_us, m.bare_us, m.ratio,
                    m.library_us / m.present, m.bare_us / m.present, m.excess_us / m.present);
        const wine_bench::walk_phases p = wine_bench::timed_bare_walk();
        std::printf("# one bare walk over %u devices, call by call: SetupDiGetClassDevsA %.1f ms, "
                    "SetupDiEnumDeviceInfo %.1f ms, SetupDiGetDeviceRegistryPropertyA %.1f ms, "
                    "SetupDiDestroyDeviceInfoList %.1f ms\n",
                    p.visited, p.get_class_devs_us / 1e3, p.enumerate_us / 1e3,
                    p.read_property_us / 1e3, p.destroy_us / 1e3);
        std::fflush(stdout);
    }
    return 0;
}
