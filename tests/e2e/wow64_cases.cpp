// The 32-bit library on 64-bit Windows, in a 32-bit runner: the system's
// installer refuses a 32-bit process there (the 32-bit substitute fails
// with ERROR_IN_WOW64, as the system's does), so the library hands the call
// to the x64 helper beside it. Only that file is ever started, by its real
// name whatever the folder is called and however long its path: not one in
// the current folder, on PATH or at a best-fit name. The arguments reach it
// unchanged, the INF path naming the file the caller's view names; only a
// well-formed answer counts, and the caller's last error is the helper's.
//
// In an ARM64 runner the library is the bridge caller (bridge_caller.cpp):
// the same bridge as the 32-bit library's on ARM64 Windows, which hands the
// call to the ARM64 helper. Where the 32-bit library would go on in process
// it returns 0 and nothing calls NEWDEV; the caller's view of System32 (a
// WOW64 process's) is not this runner's, so those cases run on x64 only,
// and on ARM64 the bridge caller plays an emulated x64 caller instead.
#include "tests/e2e/child_process.h"
#include "tests/e2e/helper_file.h"
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"

#include <utility>

namespace e2e {
namespace {

const std::vector<std::string> device_ids = {"PCI\\VEN_5156&DEV_0F01&SUBSYS_00015156&REV_01"};
constexpr const char* device_compact_id = "PCI51560F0151560001";
#if defined(__aarch64__)
constexpr const char* helper_name = helper_file(wow64::machine_name::ARM64);
constexpr bool wow64_runner = false;
#else
constexpr const char* helper_name = helper_file(wow64::machine_name::AMD64);
constexpr bool wow64_runner = true;
#endif
// What a call gives when the bridge leaves it to the caller, and the bits of
// the process that then calls NEWDEV (none for the bridge caller).
constexpr int left_to_caller = wow64_runner ? result::install_failed : 0;
constexpr const char* left_to_caller_bits = wow64_runner ? "32" : "";

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

// Files and folders made for one case, removed when it ends (files first,
// folders deepest first).
class made_for_case {
public:
    made_for_case() = default;
    made_for_case(const made_for_case&) = delete;
    made_for_case& operator=(const made_for_case&) = delete;
    ~made_for_case() {
        for (const auto& f : files_) DeleteFileW(f.c_str());
        for (auto f = folders_.rbegin(); f != folders_.rend(); ++f) RemoveDirectoryW(f->c_str());
    }
    bool folder(const std::wstring& path) {
        folders_.push_back(path);
        return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
    }
    bool copy(const std::wstring& from, const std::wstring& to) {
        files_.push_back(to);
        return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
    }
    bool write(const std::string& path, const std::string& bytes) {
        files_.push_back(ansi_to_wide(path));
        return write_file(path, bytes);
    }

private:
    std::vector<std::wstring> files_;
    std::vector<std::wstring> folders_;
};

// The stand-in that never answers, built beside the runner.
std::wstring standin_path() {
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    const std::wstring runner(own);
    return runner.substr(0, runner.rfind(L'\\') + 1) + L"qv_helper_standin.exe";
}

bool file_exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string system_directory() {
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

// One call through the installing substitute; expects `expected` and, for
// 1, the last error 0 and the driver bound from `seen_inf` (the INF as the
// installing process names it; `inf` when empty) by a process of `bits`
// bits with the system directory as its current folder.
void install_once(checks& c, const quorvant_library& library, const virtual_device& device,
                  const driver_package& package, const std::string& inf,
                  const std::string& wanted, int expected, const char* bits,
                  const std::string& seen_inf = "") {
    steer_substitute({newdev_protocol::install_action});
    clear_substitute_report();
    SetLastError(0xdeadbeef);
    c.expect_result(library.install(inf, wanted), expected);
    const unsigned long error = GetLastError();
    const substitute_report seen = read_substitute_report();
    if (expected == result::installed) {
        c.expect_equal("last error", error, 0ul);
        expect_driver(c, device.instance_id(), package);
        c.expect(same_path(seen.inf, seen_inf.empty() ? inf : seen_inf),
                 "selected driver's INF " + quoted(seen.inf));
        c.expect(same_path(seen.folder, system_directory()),
                 "current folder of the installing process " + quoted(seen.folder));
    } else {
        expect_no_driver(c, device.instance_id());
    }
    c.expect_equal("bits of the process that called NEWDEV", seen.bits, std::string(bits));
}
void install_once(checks& c, const run_context& ctx, const virtual_device& device,
                  const driver_package& package, const std::string& inf,
                  const std::string& wanted, int expected, const char* bits) {
    install_once(c, ctx.library, device, package, inf, wanted, expected, bits);
}

// A helper that ends without a well-formed answer: -3, and its exit
// status as the caller's last error.
struct silent_helper_case {
    const char* name;
    const char* behaviour;  // QV_HELPER_STANDIN
    unsigned long status;
};
const silent_helper_case silent_helper_cases[] = {
    {"exits with 1 without answering", "exit 1", 1},
    {"exits with 2 without answering", "exit 2", 2},
    {"exits with 3 without answering", "exit 3", 3},
    {"dies between writing its result and marking it", "die", 0xC0000005},
};

void run_silent_helper_cases(run_context& ctx, const std::string& inf) {
    for (const auto& row : silent_helper_cases) {
        checks c;
        auto device = make_device(c, device_ids);
        const helper_moved_away away(ctx);
        made_for_case made;
        const std::wstring helper = ansi_to_wide(folder_of(ctx.library.path()) + helper_name);
        c.expect(away.moved() && made.copy(standin_path(), helper), "cannot put the stand-in in place");
        SetEnvironmentVariableA("QV_HELPER_STANDIN", row.behaviour);
        if (device && away.moved() && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute({newdev_protocol::install_action});
            SetLastError(0xdeadbeef);
            c.expect_result(ctx.library.install(inf, device_compact_id), result::install_failed);
            c.expect_equal("last error", static_cast<unsigned long>(GetLastError()), row.status);
            c.expect(file_exists(helper + L".started"), "the stand-in was not started");
            expect_no_driver(c, device->instance_id());
        }
        SetEnvironmentVariableA("QV_HELPER_STANDIN", nullptr);
        DeleteFileW((helper + L".started").c_str());
        ctx.log.record(std::string("wow64: a helper that ") + row.name + " gives -3", c);
    }
}

// The library and its helper copied into a folder of another name; a
// stranger's program (the stand-in, which would end with 1) planted at
// `planted` when that is not empty.
struct folder_case {
    const char* name;
    std::wstring folder;   // under the run's folder; backslashes make nested folders
    std::wstring planted;  // under the run's folder
};

void run_folder_cases(run_context& ctx, const driver_package& package, const std::string& inf) {
    const std::wstring deep = std::wstring(100, L'd');
    const folder_case folder_cases[] = {
        // U+014D is no character of code page 1252: its best fit is "o".
        {"a folder named outside the code page, a stranger's program at the best-fit name",
         L"Pr\u014Dg Files", L"Prog Files"},
        {"a helper path of more than 260 characters", L"deep\\" + deep + L"\\" + deep + L"\\" + deep, L""},
    };
    const std::wstring root = L"\\\\?\\" + ansi_to_wide(ctx.folder);
    const std::wstring shipped = ansi_to_wide(folder_of(ctx.library.path()));
    for (const auto& row : folder_cases) {
        checks c;
        made_for_case made;
        std::wstring folder = root;
        for (std::size_t at = 0; at != std::wstring::npos;) {
            const std::size_t end = row.folder.find(L'\\', at);
            folder += row.folder.substr(at, end == std::wstring::npos ? end : end - at) + L"\\";
            made.folder(folder);
            at = end == std::wstring::npos ? end : end + 1;
        }
        const std::wstring helper = ansi_to_wide(helper_name);
        bool placed = made.copy(shipped + L"QUORVANT.dll", folder + L"QUORVANT.dll") &&
                      made.copy(shipped + helper, folder + helper);
        const std::wstring stranger = root + row.planted + L"\\" + helper;
        if (!row.planted.empty()) {
            placed = made.folder(root + row.planted) && made.copy(standin_path(), stranger) && placed;
            SetEnvironmentVariableA("QV_HELPER_STANDIN", "exit 1");
        }
        c.expect(placed, "cannot copy the library and its helper");
        c.note("helper path of " + std::to_string(folder.size() - 4 + helper.size()) + " characters");
        {
            const quorvant_library copy(folder + L"QUORVANT.dll");
            c.expect(copy.loaded(), copy.error());
            auto device = make_device(c, device_ids);
            if (copy.loaded() && device && use_newdev(c, ctx, newdev_kind::substitute)) {
                install_once(c, copy, *device, package, inf, device_compact_id, result::installed, "64");
            }
        }
        if (!row.planted.empty()) {
            c.expect(!file_exists(stranger + L".started"), "the stranger's program was started");
            DeleteFileW((stranger + L".started").c_str());
            SetEnvironmentVariableA("QV_HELPER_STANDIN", nullptr);
        }
        ctx.log.record(std::string("wow64: ") + row.name + ", 1 through the real helper", c);
    }
}

// The caller's view of the system folders: %windir%\System32 is SysWOW64
// for it, %windir%\Sysnative the native System32. The same file name in
// both, each INF marking its own driver: the driver bound is the one from
// the file the caller named.
void run_view_cases(run_context& ctx) {
    const std::string windows = folder_of(system_directory());
    const std::string name = "qv-e2e-wow64-view.inf";
    const driver_package x86_file{device_ids[0], "Quorvant WOW64 test device", "01/15/2024,1.0.0.0",
                                  "SysWOW64"};
    const driver_package native_file{device_ids[0], "Quorvant WOW64 test device", "01/15/2024,1.0.0.0",
                                     "native System32"};
    made_for_case made;
    const bool written = made.write(windows + "System32\\" + name, driver_inf_text(x86_file)) &&
                         made.write(windows + "Sysnative\\" + name, driver_inf_text(native_file));
    struct view_case {
        const char* folder;               // as the caller names it
        const char* native;               // as the helper names it
        const driver_package* package;
    };
    const view_case rows[] = {{"System32", "SysWOW64", &x86_file},
                              {"Sysnative", "System32", &native_file}};
    for (const auto& [folder, native, package] : rows) {
        checks c;
        c.expect(written, "cannot write " + name + " into System32 and Sysnative");
        auto device = make_device(c, device_ids);
        if (written && device && use_newdev(c, ctx, newdev_kind::substitute)) {
            install_once(c, ctx.library, *device, *package, windows + folder + "\\" + name,
                         device_compact_id, result::installed, "64", windows + native + "\\" + name);
        }
        ctx.log.record(std::string("wow64: a ") + folder + " INF path installs from the file the caller's view names, 1", c);
    }
}

// An x64 caller that ARM64 Windows emulates sees System32 as it is, though
// GetSystemWow64DirectoryW names SysWOW64 to it too: an INF path there
// reaches the helper unchanged.
void run_emulated_x64_case(run_context& ctx) {
    checks c;
    const std::string inf = system_directory() + "\\qv-e2e-emulated-x64.inf";
    const driver_package package{device_ids[0], "Quorvant WOW64 test device", "01/15/2024,1.0.0.0",
                                 "System32"};
    made_for_case made;
    const bool written = made.write(inf, driver_inf_text(package));
    c.expect(written, "cannot write " + inf);
    auto device = make_device(c, device_ids);
    SetEnvironmentVariableA("QV_BRIDGE_CALLER", "x64");
    if (written && device && use_newdev(c, ctx, newdev_kind::substitute)) {
        install_once(c, ctx.library, *device, package, inf, device_compact_id, result::installed, "64");
    }
    SetEnvironmentVariableA("QV_BRIDGE_CALLER", nullptr);
    ctx.log.record("wow64: an x64 caller emulated on ARM64 hands a System32 INF path to the helper "
                   "unchanged, 1",
                   c);
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
            install_once(c, ctx, *device, package, inf, device_compact_id, left_to_caller,
                         left_to_caller_bits);
            c.expect_equal("installer", read_substitute_report().install,
                           std::string(wow64_runner ? "refused in WOW64" : ""));
        }
        ctx.log.record(wow64_runner ? "wow64: without the helper the call runs in process and is refused, -3"
                                    : "wow64: without the helper the call is left to the caller, 0",
                       c);
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
            install_once(c, ctx, *device, package, inf, device_compact_id, left_to_caller,
                         left_to_caller_bits);
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
    run_silent_helper_cases(ctx, inf);
    run_folder_cases(ctx, package, inf);
    if (wow64_runner) {
        run_view_cases(ctx);
    } else {
        run_emulated_x64_case(ctx);
    }
    if (wow64_runner && !ctx.qvinst.empty()) run_qvinst_package_cases(ctx);
}

// In code page 932 (Wine takes it from LC_ALL=ja_JP.UTF-8): a wanted ID
// that ends in a lead byte, as the conversion's 40-character cut of a
// "PCMCIA\" ID leaves it, and an INF path whose last byte is the trail byte
// 0x5C of U+8868; on a command line either would swallow its closing quote.
void run_wow64_dbcs_cases(run_context& ctx) {
    checks c;
    c.expect_equal("ANSI code page", static_cast<unsigned long>(GetACP()), 932ul);
    const std::string body = "QUORVANT-DBCS-" + std::string(25, 'X') + "\x82\xA0";
    const std::vector<std::string> ids = {"PCMCIA\\" + body, "PCMCIA\\QUORVANT_DBCS_MODEL"};
    const std::string wanted = "PCC" + body.substr(0, 40);
    const driver_package package{ids[1], "Quorvant code page 932 test device"};
    made_for_case made;
    const std::string inf = ctx.folder + "qv\x95\x5C";
    c.expect(made.write(inf, driver_inf_text(package)), "cannot write " + inf);
    auto device = make_device(c, ids);
    if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
        install_once(c, ctx, *device, package, inf, wanted, result::installed, "64");
    }
    ctx.log.record("wow64-dbcs: a wanted ID ending in a lead byte and an INF path ending in a "
                   "0x5C trail byte reach the helper intact, 1",
                   c);
}

}  // namespace e2e
