// A real setup program as the library's client: the sample NSIS installer
// (installer/quorvant-sample.nsi) bundles QUORVANT.dll and the sample INF,
// calls qv7_installdevice through the System plugin, writes the result code
// into a file and sets its exit code from it. It runs silently (/S) as a child
// process; the child inherits the substitute's steering variables and finds
// the same newdev override in the registry.
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"
#include "tests/e2e/sample_driver.h"
#include "platform/unique_handle.h"

#include <cstdlib>

namespace e2e {
namespace {

constexpr DWORD setup_timeout_ms = 120000;

// The setup program's exit codes.
constexpr int exit_installed = 0;
constexpr int exit_restart_needed = 3010;
constexpr int exit_not_installed = 2;

struct setup_outcome {
    bool ran = false;
    std::string problem;
    int exit_code = 0;
    std::string reported;  // contents of the result file
};

std::string read_small_file(const std::string& path) {
    const platform::unique_handle file{CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                   nullptr)};
    if (!file.valid()) return {};
    char buffer[64] = {};
    DWORD read = 0;
    ReadFile(file.get(), buffer, sizeof buffer - 1, &read, nullptr);
    return std::string(buffer, read);
}

setup_outcome run_setup(const std::string& setup, const std::string& arguments,
                        const std::string& result_file) {
    setup_outcome outcome;
    DeleteFileA(result_file.c_str());
    std::string command = "\"" + setup + "\" /S " + arguments + " /RESULT=" + result_file;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        outcome.problem = "cannot start " + command + ", error " + std::to_string(GetLastError());
        return outcome;
    }
    platform::unique_handle process(info.hProcess);
    platform::unique_handle thread(info.hThread);
    if (WaitForSingleObject(process.get(), setup_timeout_ms) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        outcome.problem = "setup program did not finish";
        return outcome;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    outcome.ran = true;
    outcome.exit_code = static_cast<int>(code);
    outcome.reported = read_small_file(result_file);
    return outcome;
}

struct setup_case {
    const char* name;
    const char* compact_id;  // passed as /ID=
    substitute_behaviour behaviour;
    int expected;
    int exit_code;
    bool binds;  // whether the sample driver ends up bound
};

const setup_case setup_cases[] = {
    {"NSIS setup installs the sample driver: 1, driver bound", sample::compact_id,
     {newdev_protocol::install_action}, result::installed, exit_installed, true},
    {"NSIS setup passes on a reboot request: 2, restart needed, driver bound", sample::compact_id,
     {newdev_protocol::install_action, 0x100}, result::reboot, exit_restart_needed, true},
    {"NSIS setup for a device that is not present: -1, not installed", "PCI5156000151560002",
     {newdev_protocol::install_action}, result::no_device, exit_not_installed, false},
};

}  // namespace

void run_setup_program_cases(run_context& ctx) {
    const std::string result_file = ctx.folder + "setup-result.txt";
    for (const auto& row : setup_cases) {
        checks c;
        auto device = make_device(c, sample::hardware_ids);
        if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute(row.behaviour);
            const setup_outcome outcome =
                run_setup(ctx.installer, std::string("/ID=") + row.compact_id, result_file);
            c.expect(outcome.ran, outcome.problem);
            if (outcome.ran) {
                c.expect_equal("exit code", outcome.exit_code, row.exit_code);
                c.expect_equal("reported result", outcome.reported, std::to_string(row.expected));
            }
            if (row.binds) {
                const bound_driver d = read_bound_driver(device->instance_id(), sample::version_value);
                c.expect(!d.driver_key.empty(), "no driver key");
                c.expect_equal("description", d.description, std::string(sample::description));
                c.expect_equal(sample::version_value, d.marker, std::string(sample::version));
            } else {
                expect_no_driver(c, device->instance_id());
            }
        }
        ctx.log.record(std::string("setup program: ") + row.name, c);
    }
}

}  // namespace e2e
