// The 32-bit library on 64-bit Windows, in a 32-bit runner: the system's
// installer refuses a 32-bit process there (the 32-bit substitute fails
// with ERROR_IN_WOW64, as the system's does), so the library hands the call
// to QUORVANT64.exe beside it. Only that file is ever started: not one in
// the current folder, not one on PATH. The arguments reach it unchanged.
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"

namespace e2e {
namespace {

const std::vector<std::string> device_ids = {"PCI\\VEN_5156&DEV_0F01&SUBSYS_00015156&REV_01"};
constexpr const char* device_compact_id = "PCI51560F0151560001";
constexpr const char* helper_name = "QUORVANT64.exe";

std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('\\') + 1); }

// Moves the helper away from the library for the length of a scope.
class helper_moved_away {
public:
    explicit helper_moved_away(const run_context& ctx)
        : helper_(folder_of(ctx.library.path()) + helper_name), away_(helper_ + ".away") {
        moved_ = MoveFileA(helper_.c_str(), away_.c_str()) != FALSE;
    }
    helper_moved_away(const helper_moved_away&) = delete;
    helper_moved_away& operator=(const helper_moved_away&) = delete;
    ~helper_moved_away() {
        if (moved_) MoveFileA(away_.c_str(), helper_.c_str());
    }
    bool moved() const { return moved_; }
    const std::string& away() const { return away_; }

private:
    std::string helper_;
    std::string away_;
    bool moved_ = false;
};

// One call through the installing substitute; expects `expected` and, for
// 1, the driver bound by a process of `bits` bits.
void install_once(checks& c, const run_context& ctx, const virtual_device& device,
                  const driver_package& package, const std::string& inf,
                  const std::string& wanted, int expected, const char* bits) {
    steer_substitute({newdev_protocol::install_action});
    clear_substitute_report();
    c.expect_result(ctx.library.install(inf, wanted), expected);
    const substitute_report seen = read_substitute_report();
    if (expected == result::installed) {
        expect_driver(c, device.instance_id(), package);
        c.expect(same_path(seen.inf, inf), "selected driver's INF " + quoted(seen.inf));
    } else {
        expect_no_driver(c, device.instance_id());
    }
    c.expect_equal("bits of the process that called NEWDEV", seen.bits, std::string(bits));
}

}  // namespace

void run_wow64_cases(run_context& ctx) {
    const driver_package package{device_ids[0], "Quorvant WOW64 test device"};
    const std::string inf = write_inf(ctx, "wow64.inf", package);

    {
        checks c;
        auto device = make_device(c, device_ids);
        if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
            install_once(c, ctx, *device, package, inf, device_compact_id, result::installed, "64");
        }
        ctx.log.record("wow64: the helper beside the library binds the driver from a 64-bit process, 1", c);
    }
    {
        checks c;
        auto device = make_device(c, device_ids);
        const helper_moved_away away(ctx);
        c.expect(away.moved(), "cannot move the helper away");
        if (device && away.moved() && use_newdev(c, ctx, newdev_kind::substitute)) {
            install_once(c, ctx, *device, package, inf, device_compact_id, result::install_failed, "32");
            c.expect_equal("installer", read_substitute_report().install, std::string("refused in WOW64"));
        }
        ctx.log.record("wow64: without the helper the call runs in process and is refused, -3", c);
    }
    {
        // Copies of the helper in the current folder and in a folder on
        // PATH: had either been started, the driver would be bound (1).
        checks c;
        auto device = make_device(c, device_ids);
        const helper_moved_away away(ctx);
        const std::string planted = ctx.folder + "planted\\";
        const std::string on_path = ctx.folder + "on-path\\";
        CreateDirectoryA(planted.c_str(), nullptr);
        CreateDirectoryA(on_path.c_str(), nullptr);
        c.expect(CopyFileA(away.away().c_str(), (planted + helper_name).c_str(), FALSE) &&
                     CopyFileA(away.away().c_str(), (on_path + helper_name).c_str(), FALSE),
                 "cannot plant the helper");
        char old_folder[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, old_folder);
        char old_path[32767] = {};
        GetEnvironmentVariableA("PATH", old_path, sizeof old_path);
        SetCurrentDirectoryA(planted.c_str());
        SetEnvironmentVariableA("PATH", (on_path + ";" + old_path).c_str());
        if (device && away.moved() && use_newdev(c, ctx, newdev_kind::substitute)) {
            install_once(c, ctx, *device, package, inf, device_compact_id, result::install_failed, "32");
        }
        SetEnvironmentVariableA("PATH", old_path);
        SetCurrentDirectoryA(old_folder);
        ctx.log.record("wow64: a helper in the current folder or on PATH is never started", c);
    }
    {
        // Blanks and a high byte in the INF path; quotes, backslashes and a
        // trailing backslash in the wanted ID (a "PCI" one matches on its
        // first 19 characters); then 64 KiB of it.
        checks c;
        const std::string odd_folder = ctx.folder + "odd folder \xE9 & (x)\\";
        CreateDirectoryA(odd_folder.c_str(), nullptr);
        const std::string odd_inf = odd_folder + "wow64 odd.inf";
        c.expect(write_file(odd_inf, driver_inf_text(package)), "cannot write " + odd_inf);
        const std::string odd_id = std::string(device_compact_id) + " \"a\\\"b\\\\\" c\\\\";
        const std::string long_id = std::string(device_compact_id) + std::string(64 * 1024, '\\');
        auto device = make_device(c, device_ids);
        if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
            install_once(c, ctx, *device, package, odd_inf, odd_id, result::installed, "64");
        }
        auto second = make_device(c, device_ids);
        if (second && use_newdev(c, ctx, newdev_kind::substitute)) {
            install_once(c, ctx, *second, package, inf, long_id, result::installed, "64");
        }
        ctx.log.record("wow64: odd bytes and a 64 KiB wanted ID reach the helper intact, 1", c);
    }
}

}  // namespace e2e
