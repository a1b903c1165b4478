// qv_endurance: many calls of the library in one process, then many cycles
// of loading the library, one call and unloading it, with the process's use
// of handles and memory sampled as it goes.
//
//   qv_endurance LIBRARY NEWDEV_SUBSTITUTE CALLS CYCLES [SAMPLE_EVERY]
//
// One present device and two INF files: one that serves the device and one
// that does not. The calls take the three paths in turn:
//   install    the served INF and the device's compact ID: the substitute
//              NEWDEV.DLL, in its installing mode, hands the selected driver
//              to the class installer (DIF_INSTALLDEVICE), which binds it
//              to the device; result 1
//   no driver  the unserved INF and the device's compact ID: result -2
//   no device  the served INF and a compact ID no device has: result -1
// After a warm-up (the platform's caches fill on the first calls) the open
// handles, the committed private bytes and the bytes in use on the heaps are
// sampled before the first call and after every SAMPLE_EVERY calls (default
// CALLS / 20), one "sample" line each. The cycles follow, with the library
// loaded (LoadLibraryA) and freed (FreeLibrary) around each call, sampled
// every CYCLES / 20 cycles. Each part passes when no sample exceeds its
// first by more than the part's slack below. Then a "result" line with the
// calls' figures, a "cycles" line with the cycles', one line per check and
// the closing "N passed, M failed". Exit code 0 when every check passed.
#include "tests/e2e/case_log.h"
#include "tests/e2e/inf_files.h"
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/newdev_switch.h"
#include "tests/e2e/process_usage.h"
#include "tests/e2e/quorvant_library.h"
#include "tests/e2e/result_codes.h"
#include "tests/e2e/virtual_devices.h"
#include "tests/wine_bench/heap_usage.h"
#include "tests/wine_bench/timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> device_ids = {"PCI\\VEN_5156&DEV_0E02&SUBSYS_00025156&REV_01"};
constexpr const char* device_compact_id = "PCI51560E0251560002";
constexpr const char* absent_compact_id = "PCI51560E0251560003";

// Calls before the first sample: the platform's caches and the process's
// heap settle over the first rounds.
constexpr unsigned warm_up_calls = 30;
constexpr unsigned samples_per_run = 20;
// What a cycle's call gives when the library cannot be loaded: no result
// code of the library.
constexpr int not_loaded = 0;

// The two parts of the run: calls of the library loaded once, and cycles of
// loading it, one call and unloading it.
enum part { calls_part, cycles_part, parts };
const char* const part_names[parts] = {"calls", "load-call-unload cycles"};

struct sample {
    unsigned calls;
    e2e::process_usage usage;
    wine_bench::heap_usage heap;
};

sample take_sample(unsigned calls) {
    return {calls, e2e::measure_process_usage(), wine_bench::measure_heap_usage()};
}

// A figure the run watches, and how much it may grow over the first sample
// of each part. The slack is fixed, not per call: it covers what the process
// may gain without keeping anything per call (a handle the platform opens
// once and caches, one more step of the heap's committed memory, a few
// blocks the platform allocates once). Measured under Wine 8, the growth
// after the warm-up is 0 handles, 0 committed bytes and under 100 heap bytes
// over 10,000 calls. A library that leaked 16 bytes in every call grew the
// heap bytes by 16,000 over 1,000 calls and the committed memory by 64 KiB
// (the heap commits in steps, so only the heap check caught it); one that
// leaked a handle every 300 calls grew the handles by 3. Loading and
// unloading may keep no handle at all: a library that kept a lock and a
// memory pool of its runtime at every unload grew by a handle and about
// 18 KiB per cycle.
struct watched_figure {
    const char* name;
    const char* key;   // of the "result" and "cycles" lines: KEY_growth=, KEY_slack=
    const char* unit;
    long long slack[parts];
    long long (*read)(const sample&);
};

const watched_figure watched[] = {
    {"open handles", "handle", "handles", {2, 0},
     [](const sample& s) { return static_cast<long long>(s.usage.handles); }},
    {"committed private memory", "private", "bytes", {64 * 1024, 64 * 1024},
     [](const sample& s) { return static_cast<long long>(s.usage.private_bytes); }},
    {"heap bytes in use", "heap", "bytes", {4 * 1024, 4 * 1024},
     [](const sample& s) { return static_cast<long long>(s.heap.busy_bytes); }},
};

// The largest amount by which a sample exceeds the first.
long long largest_growth(const std::vector<sample>& samples, const watched_figure& f) {
    long long growth = 0;
    for (const sample& s : samples) growth = std::max(growth, f.read(s) - f.read(samples.front()));
    return growth;
}

void print_sample(part p, const sample& s, double elapsed_us) {
    std::printf("sample %s=%u handles=%lu highest_handle=0x%lx private_kib=%lu "
                "heap_bytes=%lu heap_blocks=%lu ms=%.0f\n",
                p == calls_part ? "calls" : "cycles", s.calls, s.usage.handles,
                s.usage.highest_handle,
                static_cast<unsigned long>(s.usage.private_bytes / 1024),
                static_cast<unsigned long>(s.heap.busy_bytes),
                static_cast<unsigned long>(s.heap.busy_blocks), elapsed_us / 1e3);
    std::fflush(stdout);
}

struct path {
    const char* name;
    std::string inf;
    const char* compact_id;
    int expected;
};

// Everything the calls need, put in place before them.
struct bench_setup {
    std::optional<e2e::virtual_device> device;
    e2e::driver_package package{device_ids[0], "Quorvant endurance device", "01/15/2024,1.0.0.0",
                                "endurance"};
    std::vector<path> paths;
};

void set_up(e2e::newdev_switch& newdev, bench_setup& setup, e2e::checks& c) {
    std::string error;
    c.expect(newdev.use(e2e::newdev_kind::substitute, error), error);
    e2e::steer_substitute({newdev_protocol::install_action});
    setup.device = e2e::virtual_device::create(device_ids, error);
    c.expect(setup.device.has_value(), "cannot create the device: " + error);
    const std::string served = e2e::work_folder() + "endurance.inf";
    const std::string unserved = e2e::work_folder() + "endurance-unserved.inf";
    c.expect(e2e::write_file(served, e2e::driver_inf_text(setup.package)),
             "cannot write " + served);
    c.expect(e2e::write_file(unserved, e2e::driver_inf_text({"ROOT\\QV_ENDURANCE_NOBODY"})),
             "cannot write " + unserved);
    setup.paths = {
        {"install", served, device_compact_id, e2e::result::installed},
        {"no driver", unserved, device_compact_id, e2e::result::no_driver},
        {"no device", served, absent_compact_id, e2e::result::no_device},
    };
}

struct run_outcome {
    std::vector<sample> samples;
    std::vector<unsigned> wrong;  // per path: calls with another result
    std::optional<int> first_wrong_code;
    double calls_us = 0;          // the calls alone, without the sampling
    unsigned long installs = 0;   // InstallSelectedDriver calls during the run
};

// One call of the library on path `p`; in the cycles the library is loaded
// before the call and unloaded after it.
int call(part kind, e2e::quorvant_library& library, const path& p) {
    if (kind == calls_part) return library.install(p.inf, p.compact_id);
    if (!library.reload()) return not_loaded;
    const int code = library.install(p.inf, p.compact_id);
    library.unload();
    return code;
}

run_outcome run_part(part kind, e2e::quorvant_library& library, const std::vector<path>& paths,
                     unsigned total_calls, unsigned sample_every) {
    for (unsigned i = 0; i < warm_up_calls; ++i) call(kind, library, paths[i % paths.size()]);
    run_outcome run;
    run.wrong.assign(paths.size(), 0);
    const unsigned long installs_before = e2e::read_substitute_report().calls;
    // Room for every sample before the first is taken, so that the run's
    // own bookkeeping does not grow the heap it measures.
    run.samples.reserve(total_calls / sample_every + 2);
    const double sample_us = wine_bench::time_us([&] { run.samples.push_back(take_sample(0)); });
    print_sample(kind, run.samples.back(), 0);
    std::printf("# one sample takes %.0f ms (not counted in the calls' time)\n", sample_us / 1e3);
    for (unsigned done = 0; done < total_calls;) {
        const unsigned batch = std::min(sample_every, total_calls - done);
        run.calls_us += wine_bench::time_us([&] {
            for (unsigned i = done; i < done + batch; ++i) {
                const std::size_t k = i % paths.size();
                const int code = call(kind, library, paths[k]);
                if (code != paths[k].expected) {
                    if (!run.first_wrong_code) run.first_wrong_code = code;
                    ++run.wrong[k];
                }
            }
        });
        done += batch;
        run.samples.push_back(take_sample(done));
        print_sample(kind, run.samples.back(), run.calls_us);
    }
    run.installs = e2e::read_substitute_report().calls - installs_before;
    return run;
}

void print_result(part kind, const run_outcome& run, unsigned total_calls) {
    std::printf("%s %s=%u ms=%.0f us_per_call=%.0f", kind == calls_part ? "result" : "cycles",
                kind == calls_part ? "calls" : "cycles", total_calls, run.calls_us / 1e3,
                run.calls_us / total_calls);
    for (const watched_figure& f : watched) {
        std::printf(" %s_growth=%lld %s_slack=%lld", f.key, largest_growth(run.samples, f), f.key,
                    f.slack[kind]);
    }
    std::printf("\n");
    std::fflush(stdout);
}

void record_results(e2e::case_log& log, part kind, const std::vector<path>& paths,
                    const run_outcome& run, unsigned total_calls) {
    e2e::checks c;
    for (std::size_t k = 0; k < paths.size(); ++k) {
        c.expect(run.wrong[k] == 0, std::to_string(run.wrong[k]) + " " + paths[k].name +
                                        " calls returned another code than " +
                                        std::to_string(paths[k].expected));
    }
    if (run.first_wrong_code) {
        c.note("first wrong code " + std::to_string(*run.first_wrong_code) +
               (*run.first_wrong_code == not_loaded ? " (library not loaded)" : ""));
    }
    const auto install_calls =
        static_cast<unsigned long>((total_calls + paths.size() - 1) / paths.size());
    c.expect_equal("InstallSelectedDriver calls", run.installs, install_calls);
    log.record(std::string("endurance: in the ") + part_names[kind] +
                   ", every call returns its path's code and every install-path call reaches "
                   "InstallSelectedDriver",
               c);
}

void record_growth(e2e::case_log& log, part kind, const run_outcome& run) {
    for (const watched_figure& f : watched) {
        e2e::checks c;
        const long long growth = largest_growth(run.samples, f);
        c.expect(growth <= f.slack[kind], std::string(f.name) + " grew by " +
                                              std::to_string(growth) + " " + f.unit);
        c.note(std::to_string(f.read(run.samples.front())) + " -> " +
               std::to_string(f.read(run.samples.back())) + " " + f.unit + ", largest growth " +
               std::to_string(growth));
        log.record(std::string("endurance: over the ") + part_names[kind] + ", growth of " +
                       f.name + " within " + std::to_string(f.slack[kind]) + " " + f.unit,
                   c);
    }
}

void record_installation(e2e::case_log& log, const bench_setup& setup) {
    e2e::checks c;
    c.expect_equal("the class installer's last DIF_INSTALLDEVICE",
                   e2e::read_substitute_report().install, std::string("ok"));
    const std::string& id = setup.device->instance_id();
    const e2e::bound_driver bound = e2e::read_bound_driver(id, e2e::marker_value_name);
    c.expect(!bound.driver_key.empty(), "no driver bound to " + id);
    c.expect_equal("driver key marker", bound.marker, setup.package.marker);
    log.record("endurance: the class installer installed the driver, and it is bound", c);
}

int usage() {
    std::fputs("usage: qv_endurance LIBRARY NEWDEV_SUBSTITUTE CALLS CYCLES [SAMPLE_EVERY]\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || argc > 6) return usage();
    const unsigned total_calls = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    const unsigned total_cycles = static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10));
    const unsigned sample_every = argc == 6
                                      ? static_cast<unsigned>(std::strtoul(argv[5], nullptr, 10))
                                      : std::max(1u, total_calls / samples_per_run);
    if (total_calls == 0 || total_cycles == 0 || sample_every == 0) return usage();
    const auto started = std::chrono::steady_clock::now();

    e2e::case_log log;
    e2e::quorvant_library library(argv[1]);
    e2e::newdev_switch newdev(argv[2], argv[2]);
    bench_setup setup;
    {
        e2e::checks c;
        c.expect(library.loaded(), library.error());
        if (library.loaded()) set_up(newdev, setup, c);
        log.record("endurance: library, substitute NEWDEV, device and INF files in place", c);
        if (!c.passed()) {
            log.print_total();
            return 1;
        }
    }
    std::printf("# %u calls after %u warm-up calls, taking the paths install (1), no driver (-2) "
                "and no device (-1) in turn; a sample every %u calls\n",
                total_calls, warm_up_calls, sample_every);
    std::fflush(stdout);
    const run_outcome calls = run_part(calls_part, library, setup.paths, total_calls, sample_every);
    print_result(calls_part, calls, total_calls);

    // The library is loaded only for the cycles' calls from here on.
    library.unload();
    const unsigned cycle_sample_every = std::max(1u, total_cycles / samples_per_run);
    std::printf("# %u load-call-unload cycles after %u warm-up cycles, the same paths in turn; "
                "a sample every %u cycles\n",
                total_cycles, warm_up_calls, cycle_sample_every);
    std::fflush(stdout);
    const run_outcome cycles =
        run_part(cycles_part, library, setup.paths, total_cycles, cycle_sample_every);
    print_result(cycles_part, cycles, total_cycles);

    record_results(log, calls_part, setup.paths, calls, total_calls);
    record_growth(log, calls_part, calls);
    record_results(log, cycles_part, setup.paths, cycles, total_cycles);
    record_growth(log, cycles_part, cycles);
    record_installation(log, setup);
    {
        e2e::checks c;
        c.expect(GetModuleHandleA("newdev.dll") == nullptr, "NEWDEV.DLL still loaded");
        log.record("endurance: NEWDEV.DLL is not left loaded", c);
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - started);
    std::printf("run time: %ld s\n", static_cast<long>(seconds.count()));
    log.print_total();
    return log.failed() == 0 ? 0 : 1;
}
