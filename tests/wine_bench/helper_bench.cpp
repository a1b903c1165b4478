// qv_helper_bench: what the 64-bit helper costs a 32-bit caller on 64-bit
// Windows. Run as a 32-bit program in a 64-bit prefix.
//
//   qv_helper_bench LIBRARY NEWDEV_SUBSTITUTE NEWDEV_SUBSTITUTE_64 [REPETITIONS]
//
// One present device and an INF that serves it. The same call is timed
// through the x64 helper beside LIBRARY, and in process with the helper
// moved away (where the 32-bit substitute refuses, as 64-bit Windows does,
// after the whole selection: the same work up to the installer); beside
// them the floor of any helper, the same 64-bit program started bare (no
// argument: it ends at once) and waited for. The three are interleaved
// REPETITIONS times (default 15). Prints one "result" line: the medians and
// the helper's cost per call. Exit code 0 when every call gave the result
// it should; the figures are never judged.
#include "tests/e2e/helper_file.h"
#include "tests/e2e/inf_files.h"
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/newdev_switch.h"
#include "tests/e2e/quorvant_library.h"
#include "tests/e2e/result_codes.h"
#include "tests/e2e/virtual_devices.h"
#include "tests/wine_bench/timing.h"

#include "platform/unique_handle.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> device_ids = {"PCI\\VEN_5156&DEV_0E03&SUBSYS_00035156&REV_01"};
constexpr const char* device_compact_id = "PCI51560E0351560003";

// Starts `program` without arguments and waits for its end; false when it
// cannot be started.
bool start_and_wait(const std::string& program) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::string command_line = e2e::helper_file(wow64::machine_name::AMD64);
    if (!CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
        return false;
    }
    const platform::unique_handle process{started.hProcess};
    const platform::unique_handle thread{started.hThread};
    return WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: qv_helper_bench LIBRARY NEWDEV_SUBSTITUTE NEWDEV_SUBSTITUTE_64 [REPETITIONS]\n",
                   stderr);
        return 2;
    }
    const std::string library_path = argv[1];
    const int repetitions = argc > 4 ? std::atoi(argv[4]) : 15;
    const std::string helper = library_path.substr(0, library_path.rfind('\\') + 1) +
                               e2e::helper_file(wow64::machine_name::AMD64);
    const std::string away = helper + ".away";

    e2e::quorvant_library library(library_path);
    e2e::newdev_switch newdev(argv[2], argv[2], {argv[3], argv[3]});
    std::string error;
    auto device = e2e::virtual_device::create(device_ids, error);
    if (!library.loaded() || !device || !newdev.use(e2e::newdev_kind::substitute, error)) {
        std::fprintf(stderr, "helper bench: cannot set up: %s%s\n", library.error().c_str(), error.c_str());
        return 1;
    }
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string inf = std::string(temp) + "qv-helper-bench.inf";
    e2e::write_file(inf, e2e::driver_inf_text({device_ids[0]}));
    e2e::steer_substitute({newdev_protocol::succeed_action});

    std::vector<double> helper_us;
    std::vector<double> in_process_us;
    std::vector<double> bare_us;
    int wrong = 0;
    for (int i = 0; i < repetitions; ++i) {
        helper_us.push_back(wine_bench::time_us([&] {
            wrong += library.install(inf, device_compact_id) != e2e::result::installed;
        }));
        MoveFileA(helper.c_str(), away.c_str());
        in_process_us.push_back(wine_bench::time_us([&] {
            wrong += library.install(inf, device_compact_id) != e2e::result::install_failed;
        }));
        MoveFileA(away.c_str(), helper.c_str());
        bare_us.push_back(wine_bench::time_us([&] { wrong += !start_and_wait(helper); }));
    }
    const double through_helper = wine_bench::median(helper_us) / 1000;
    const double in_process = wine_bench::median(in_process_us) / 1000;
    const double bare = wine_bench::median(bare_us) / 1000;
    std::printf("result repetitions=%d helper_ms=%.1f in_process_ms=%.1f overhead_ms=%.1f "
                "bare_start_ms=%.1f wrong=%d\n",
                repetitions, through_helper, in_process, through_helper - in_process, bare, wrong);
    return wrong == 0 ? 0 : 1;
}
