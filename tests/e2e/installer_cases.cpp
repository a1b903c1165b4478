// The installer call: what InstallSelectedDriver reports becomes the result
// code, and the library hands it one device, the selected driver from the
// INF it was given, and loads it from the system directory.
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"

namespace e2e {
namespace {

constexpr unsigned long need_restart = 0x80;
constexpr unsigned long need_reboot = 0x100;

const std::vector<std::string> device_ids = {
    "PCI\\VEN_5156&DEV_0A02&SUBSYS_00015156&REV_01", "PCI\\VEN_5156&DEV_0A02&SUBSYS_00015156"};
constexpr const char* device_compact_id = "PCI51560A0251560001";

// The caller's last error after the call, where the installer or the
// loader decides it; set to 0xdeadbeef before the call.
constexpr unsigned long unchecked = ~0ul;

struct installer_case {
    const char* name;
    newdev_kind kind;
    substitute_behaviour behaviour;
    int expected;
    unsigned long last_error = unchecked;
};

const installer_case installer_cases[] = {
    {"installing NEWDEV binds the driver and gives 1", newdev_kind::substitute,
     {newdev_protocol::install_action}, result::installed},
    {"installing NEWDEV that asks for a reboot gives 2", newdev_kind::substitute,
     {newdev_protocol::install_action, need_reboot}, result::reboot},
    {"reboot word 0x80 gives 3", newdev_kind::substitute,
     {newdev_protocol::succeed_action, need_restart}, result::restart},
    {"reboot word 0x100 gives 2", newdev_kind::substitute,
     {newdev_protocol::succeed_action, need_reboot}, result::reboot},
    {"reboot word 0x180 gives 3, restart wins", newdev_kind::substitute,
     {newdev_protocol::succeed_action, need_restart | need_reboot}, result::restart},
    {"reboot word 0x200 gives 1, other bits ignored", newdev_kind::substitute,
     {newdev_protocol::succeed_action, 0x200}, result::installed},
    {"success returned as 2 counts, gives 1", newdev_kind::substitute,
     {newdev_protocol::succeed_action, 0, 2}, result::installed},
    {"failure with ERROR_NON_WINDOWS_NT_DRIVER gives -8", newdev_kind::substitute,
     {newdev_protocol::fail_action, 0, 1, ERROR_NON_WINDOWS_NT_DRIVER}, result::non_nt_driver,
     ERROR_NON_WINDOWS_NT_DRIVER},
    {"failure with ERROR_ACCESS_DENIED gives -3 and leaves that error", newdev_kind::substitute,
     {newdev_protocol::fail_action, 0, 1, ERROR_ACCESS_DENIED}, result::install_failed,
     ERROR_ACCESS_DENIED},
    {"failure with an untrusted publisher gives -3 and leaves that error", newdev_kind::substitute,
     {newdev_protocol::fail_action, 0, 1, ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED},
     result::install_failed, ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED},
    {"failure with last error 0 gives -3", newdev_kind::substitute,
     {newdev_protocol::fail_action, 0, 1, 0}, result::install_failed, 0},
    {"NEWDEV without InstallSelectedDriver gives -9", newdev_kind::without_entry,
     {newdev_protocol::install_action}, result::no_entry_point},
    {"no NEWDEV in the system directory gives -7 and ERROR_MOD_NOT_FOUND", newdev_kind::missing,
     {newdev_protocol::install_action}, result::no_newdev, ERROR_MOD_NOT_FOUND},
    {"NEWDEV that the loader refuses gives -7", newdev_kind::disabled,
     {newdev_protocol::install_action}, result::no_newdev},
};

bool reaches_substitute(newdev_kind kind) { return kind == newdev_kind::substitute; }

bool installs(const installer_case& row) {
    return reaches_substitute(row.kind) &&
           std::string(row.behaviour.action) == newdev_protocol::install_action;
}

}  // namespace

void run_installer_cases(run_context& ctx) {
    const driver_package package{device_ids[1], "Quorvant installer-test device", "03/01/2024,2.1.0.0",
                                 "installer"};
    const std::string inf = write_inf(ctx, "installer.inf", package);

    for (const auto& row : installer_cases) {
        checks c;
        auto device = make_device(c, device_ids);
        if (device && use_newdev(c, ctx, row.kind)) {
            steer_substitute(row.behaviour);
            clear_substitute_report();
            const unsigned long calls = read_substitute_report().calls;
            SetLastError(0xdeadbeef);
            c.expect_result(ctx.library.install(inf, device_compact_id), row.expected);
            const unsigned long error = GetLastError();
            if (row.last_error != unchecked) c.expect_equal("last error", error, row.last_error);
            if (reaches_substitute(row.kind)) {
                expect_handover(c, ctx, calls, device->instance_id(), inf);
            } else {
                c.expect_equal("InstallSelectedDriver calls", read_substitute_report().calls,
                               calls);
            }
            if (installs(row)) {
                c.expect_equal("class installer's DIF_INSTALLDEVICE",
                               read_substitute_report().install, std::string("ok"));
                expect_driver(c, device->instance_id(), package);
            } else {
                expect_no_driver(c, device->instance_id());
            }
            c.expect(!newdev_loaded(), "NEWDEV still loaded after the call");
        }
        ctx.log.record(std::string("installer: ") + row.name, c);
    }
}

}  // namespace e2e
