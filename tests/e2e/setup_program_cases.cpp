// The driver setup templates as an installer author builds them
// (installer/driver-setup.nsi, and driver-setup-amd64.nsi on 64-bit
// Windows), run silently (/S /LOG=FILE) as child processes with the sample
// package: every outcome of the library, and of staging the package with
// qvinst after -1 (never with pnputil: the substitute records a call),
// must end the setup with its exit status and be named in its log, and
// nothing of the setup may stay in its TEMP folder or in the Windows
// directory's Temp folder. A round trip then stages, installs, and removes
// through the uninstaller the setup registered. The children inherit the
// substitutes' steering variables.
//
// The msi group does the same for the MSI built from
// installer/driver-setup.wxs, run with msiexec /i /qn /l*v: the exit status
// as Windows reports it (3010 and 1603, which a Unix exit status cuts to
// 8 bits), the product registered with its package staged and recorded, or
// rolled back with its files, package and record (for a 32-bit package the
// native helpers too, in the folder it names to the action), the custom
// actions' log lines, no pending-reboot mark and nothing in TEMP; then
// msiexec /x, which takes the driver off the device and the package out of
// the store; and a major upgrade, which leaves exactly one package of ours.
// A 32-bit runner on 64-bit Windows runs the 32-bit package, whose actions
// may install only through the helpers.
#include "install/bridge/machines.h"
#include "install/custom_action/package_record.h"
#include "install/custom_action/pending_reboot.h"
#include "tests/e2e/child_process.h"
#include "tests/e2e/inf_files.h"
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"
#include "tests/e2e/sample_driver.h"

#include <msi.h>
#include <msiquery.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace e2e {
namespace {

constexpr unsigned long setup_timeout_ms = 30000;
constexpr unsigned long msiexec_timeout_ms = 180000;
constexpr unsigned long need_restart = 0x80;
constexpr unsigned long need_reboot = 0x100;

// The sample device with only its revision-qualified ID: its compact ID
// matches, but the sample INF names only the ID without the revision.
const std::vector<std::string> unlisted_ids = {sample::hardware_ids[0]};

struct setup_case {
    const char* name;
    const std::vector<std::string>* device;  // null: no device
    substitute_behaviour behaviour;
    int result;
    const char* result_name;
    unsigned long exit_status;
    const char* logged;  // a line the log must hold, or null
};

const setup_case setup_cases[] = {
    {"installed: 1 -> 0", &sample::hardware_ids, {newdev_protocol::install_action},
     result::installed, "QV7_INSTALLED", 0, nullptr},
    {"reboot needed: 2 -> 3010", &sample::hardware_ids,
     {newdev_protocol::install_action, need_reboot}, result::reboot,
     "QV7_INSTALLED_NEEDS_REBOOT", 3010, nullptr},
    {"restart needed: 3 -> 3010", &sample::hardware_ids,
     {newdev_protocol::install_action, need_restart}, result::restart,
     "QV7_INSTALLED_NEEDS_RESTART", 3010, nullptr},
    {"no device, package staged: -1 -> 0", nullptr, {newdev_protocol::install_action},
     result::no_device, "QV7_E_NO_DEVICE", 0,
     "staged; the driver is used when the device is connected"},
    {"no driver for the device: -2 -> 12", &unlisted_ids, {newdev_protocol::install_action},
     result::no_driver, "QV7_E_NO_DRIVER", 12, nullptr},
    {"installer fails: -3 -> 13", &sample::hardware_ids,
     {newdev_protocol::fail_action, 0, 1, ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED}, result::install_failed,
     "QV7_E_INSTALL_FAILED", 13, nullptr},
};

// The Programs and Features entry of the setup as the templates build it
// by default, in this process's registry view (the setup's own bitness).
constexpr const char* product_name = "Driver setup";
const std::string uninstall_key =
    std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + product_name;

// A value of the entry; empty when the entry or the value is missing.
std::string entry_value(const char* name) {
    char value[2048] = {};
    DWORD size = sizeof value - 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstall_key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return {};
    }
    DWORD type = 0;
    const LONG read =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) return {};
    if (type == REG_DWORD) return std::to_string(*reinterpret_cast<const DWORD*>(value));
    return value;
}

bool entry_exists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstall_key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// The published name the setup recorded for its uninstaller.
std::string recorded_package() { return entry_value("QuorvantPublishedName"); }

bool published_exists(const std::string& name) {
    return !name.empty() &&
           GetFileAttributesA((windows_inf_folder() + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The install folder: the product's folder under Program Files.
std::string install_folder() {
    char folder[MAX_PATH] = {};
    GetEnvironmentVariableA("ProgramFiles", folder, MAX_PATH);
    return std::string(folder) + "\\" + product_name;
}

// The summary that the library's table gives `code`, which the setup's
// log must show after the code's name: the templates take it from the
// include the build writes from that table.
std::string summary_of(int code) {
#define QV_RESULT_CODE(name, value, meaning, exit_status, summary) \
    if (code == (value)) return summary;
#include "install/result_codes.def"
#undef QV_RESULT_CODE
    return "(no row)";
}

std::string read_text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// NAME=VALUE lines.
std::map<std::string, std::string> read_pairs(const std::string& path) {
    std::map<std::string, std::string> pairs;
    std::istringstream lines(read_text(path));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto equals = line.find('=');
        if (equals != std::string::npos) pairs[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return pairs;
}

std::set<std::wstring> names_in(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.insert(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

std::wstring windows_temp() {
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\Temp";
}

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());  // the runner's paths are ASCII
}

std::string file_name_of(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

// Starts the setup without handing it any handle (a GUI program: the first
// one in a prefix may start Wine's desktop process, which would keep
// inherited pipes open) and waits for its exit status.
// With `token`, as the user of that token.
child_outcome run_silently(std::string command, HANDLE token = nullptr,
                           unsigned long timeout_ms = setup_timeout_ms) {
    child_outcome outcome;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const bool started = start_process([&] {
        return token != nullptr
                   ? CreateProcessAsUserA(token, nullptr, command.data(), nullptr, nullptr, FALSE,
                                          0, nullptr, nullptr, &startup, &info) != FALSE
                   : CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    nullptr, &startup, &info) != FALSE;
    });
    if (!started) {
        outcome.problem = "cannot start " + command + ", error " + std::to_string(GetLastError());
        return outcome;
    }
    CloseHandle(info.hThread);
    if (WaitForSingleObject(info.hProcess, timeout_ms) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
        outcome.problem = "the setup did not end (a window waiting?): " + command;
    } else {
        GetExitCodeProcess(info.hProcess, &outcome.exit_status);
        outcome.finished = true;
    }
    CloseHandle(info.hProcess);
    return outcome;
}

struct setup_run {
    child_outcome child;
    std::string log;
    std::map<std::string, std::string> pnputil;  // empty: pnputil did not run
};

// Runs `command` (a quoted program, then its arguments) silently, with
// `temp` as its TEMP and TMP (created here, must be empty afterwards);
// expects nothing new in the Windows Temp folder.
child_outcome run_with_temp(checks& c, const std::string& command, const std::wstring& temp,
                            HANDLE token = nullptr, unsigned long timeout_ms = setup_timeout_ms) {
    CreateDirectoryW(temp.c_str(), nullptr);
    wchar_t old_temp[MAX_PATH] = {};
    wchar_t old_tmp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TEMP", old_temp, MAX_PATH);
    GetEnvironmentVariableW(L"TMP", old_tmp, MAX_PATH);
    SetEnvironmentVariableW(L"TEMP", temp.c_str());
    SetEnvironmentVariableW(L"TMP", temp.c_str());
    const std::set<std::wstring> before = names_in(windows_temp());

    const child_outcome child = run_silently(command, token, timeout_ms);
    SetEnvironmentVariableW(L"TEMP", old_temp);
    SetEnvironmentVariableW(L"TMP", old_tmp);
    c.expect(child.finished, child.problem);

    const std::set<std::wstring> left = names_in(temp);
    c.expect(left.empty(), std::to_string(left.size()) + " entries left in the TEMP folder it was given");
    const std::set<std::wstring> after = names_in(windows_temp());
    for (const auto& name : after) {
        c.expect(before.count(name) != 0,
                 "left in the Windows Temp folder: " + std::string(name.begin(), name.end()));
    }
    RemoveDirectoryW(temp.c_str());
    return child;
}

// Runs `command` (a quoted program, then its arguments) through
// run_with_temp with /LOG= as its first argument (the uninstaller's _?=
// must stay the last); pnputil must not run.
setup_run run_command(checks& c, const run_context& ctx, const std::string& command,
                      const std::wstring& temp, HANDLE token = nullptr) {
    const std::string log = ctx.folder + "setup.log";
    const std::string report = ctx.folder + "pnputil-report.txt";
    DeleteFileA(log.c_str());
    DeleteFileA(report.c_str());
    SetEnvironmentVariableA("QV_PNPUTIL_REPORT", report.c_str());

    setup_run run;
    const std::size_t program_end = command.find('"', 1) + 1;
    run.child = run_with_temp(c,
                              command.substr(0, program_end) + " " + command_line_argument("/LOG=" + log) +
                                  command.substr(program_end),
                              temp, token);
    run.log = read_text(log);
    c.expect(!run.log.empty(), "the setup wrote no log");
    if (GetFileAttributesA(report.c_str()) != INVALID_FILE_ATTRIBUTES) run.pnputil = read_pairs(report);
    c.expect(run.pnputil.empty(), "pnputil ran");
    return run;
}

// Runs the setup program `setup` silently.
setup_run run_setup(checks& c, const run_context& ctx, const std::string& setup,
                    const std::wstring& temp, HANDLE token = nullptr) {
    return run_command(c, ctx, "\"" + setup + "\" /S", temp, token);
}

void expect_logged(checks& c, const setup_run& run, const std::string& text) {
    c.expect(run.log.find(text) != std::string::npos, "the log lacks " + quoted(text) + ": " + run.log);
}

void expect_bound(checks& c, const std::string& instance_id, bool bound) {
    if (!bound) {
        expect_no_driver(c, instance_id);
        return;
    }
    const bound_driver d = read_bound_driver(instance_id, sample::version_value);
    c.expect(!d.driver_key.empty(), "no driver key");
    c.expect_equal("description", d.description, std::string(sample::description));
    c.expect_equal(sample::version_value, d.marker, std::string(sample::version));
}

// A row's machine: the device it names made present (none for null), the
// NEWDEV substitute in place and steered. False when either cannot be.
bool prepare_case(checks& c, run_context& ctx, const std::vector<std::string>* ids,
                  const substitute_behaviour& behaviour, std::optional<virtual_device>& device) {
    if (ids != nullptr) device = make_device(c, *ids);
    if ((ids != nullptr && !device) || !use_newdev(c, ctx, newdev_kind::substitute)) return false;
    steer_substitute(behaviour);
    return true;
}

void run_outcomes(run_context& ctx, const std::string& setup) {
    const std::string label = "setup program " + file_name_of(setup) + ": ";
    int runs = 0;
    for (const auto& row : setup_cases) {
        checks c;
        std::optional<virtual_device> device;
        if (prepare_case(c, ctx, row.device, row.behaviour, device)) {
            const std::wstring temp = widen(ctx.folder) + L"temp-" + std::to_wstring(++runs);
            const setup_run run = run_setup(c, ctx, setup, temp);
            c.expect_equal("exit status", run.child.exit_status, row.exit_status);
            expect_logged(c, run, "returned " + std::to_string(row.result) + " (" + row.result_name +
                                      ": " + summary_of(row.result) + "); last error 0x");
            expect_logged(c, run, "exit status " + std::to_string(row.exit_status));
            if (row.logged != nullptr) expect_logged(c, run, row.logged);
            if (row.behaviour.error != 0 && ctx.installer_bits == 8 * static_cast<int>(sizeof(void*))) {
                // Installed in the setup's own process: the installer's
                // error is the library's last error, and the log names it.
                char error[32];
                std::snprintf(error, sizeof error, "last error 0x%08lX", row.behaviour.error);
                expect_logged(c, run, error);
            }
            if (row.exit_status == 0 || row.exit_status == 3010) {
                c.expect(published_exists(recorded_package()),
                         "no published name recorded, or not in the INF folder");
            }
            if (device) expect_bound(c, device->instance_id(), row.result > 0);
        }
        ctx.log.record(label + row.name, c);
    }
    {
        // TEMP named outside the ANSI code page (CJK characters under
        // cp1252): the setup still hands the library paths it can open.
        checks c;
        auto device = make_device(c, sample::hardware_ids);
        if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute({newdev_protocol::install_action});
            const std::wstring temp = widen(ctx.folder) + L"\x4E34\x65F6";
            const setup_run run = run_setup(c, ctx, setup, temp);
            c.expect_equal("exit status", run.child.exit_status, 0ul);
            expect_bound(c, device->instance_id(), true);
        }
        ctx.log.record(label + "TEMP named outside the ANSI code page: installed, 0", c);
    }
    {
        // The Windows directory's Temp folder replaced by a file: no private
        // folder can be made, and the setup says so with a status of its own.
        checks c;
        const std::wstring temp_folder = windows_temp();
        const std::wstring away = temp_folder + L".away";
        const bool moved = MoveFileW(temp_folder.c_str(), away.c_str()) != FALSE;
        c.expect(moved, "cannot move " + std::string(temp_folder.begin(), temp_folder.end()) + " away");
        if (moved) {
            const HANDLE file = CreateFileW(temp_folder.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
            c.expect(file != INVALID_HANDLE_VALUE, "cannot put a file in its place");
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
            const setup_run run =
                run_setup(c, ctx, setup, widen(ctx.folder) + L"temp-no-folder");
            c.expect_equal("exit status", run.child.exit_status, 41ul);
            expect_logged(c, run, "cannot create a private folder");
            DeleteFileW(temp_folder.c_str());
            c.expect(MoveFileW(away.c_str(), temp_folder.c_str()) != FALSE, "cannot restore the Temp folder");
        }
        ctx.log.record(label + "no private folder under the Windows directory: 41", c);
    }
    {
        // Started by a standard user: refused before anything is unpacked.
        checks c;
        auto device = make_device(c, sample::hardware_ids);
        const HANDLE token = token_without_administrators();
        c.expect(token != nullptr, "cannot make a token without the Administrators group");
        if (device && token != nullptr && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute({newdev_protocol::install_action});
            const setup_run run =
                run_setup(c, ctx, setup, widen(ctx.folder) + L"temp-user", token);
            c.expect_equal("exit status", run.child.exit_status, 740ul);
            expect_logged(c, run, "needs administrator rights");
            expect_bound(c, device->instance_id(), false);
        }
        if (token != nullptr) CloseHandle(token);
        ctx.log.record(label + "not run as administrator: 740", c);
    }
    {
        // Round trip. A second vendor's package for the same hardware ID is
        // staged beforehand. The setup stages ours with no device present
        // (-1), and a device that appears then gets the driver from the
        // store; the setup run again with the device present leaves one
        // entry and one staged copy; a second device is bound to the other
        // package. The uninstaller the entry names then removes our driver
        // and package, the entry and the install folder, and leaves the
        // other vendor's package and device alone.
        checks c;
        const driver_package theirs{sample::hardware_ids[1], "another vendor's device",
                                    "02/01/2024,2.0.0.0", "theirs"};
        const std::string their_inf = write_inf(ctx, "setup-theirs.inf", theirs);
        char staged[MAX_PATH] = {};
        char* their_name = nullptr;
        c.expect(SetupCopyOEMInfA(their_inf.c_str(), nullptr, SPOST_PATH, 0, staged, MAX_PATH,
                                  nullptr, &their_name) != FALSE && their_name != nullptr,
                 "cannot stage " + their_inf);
        const std::string their_published = their_name != nullptr ? their_name : "";
        if (c.passed() && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute({newdev_protocol::install_action});
            const setup_run staging = run_setup(c, ctx, setup, widen(ctx.folder) + L"temp-stage");
            c.expect_equal("exit status of the staging", staging.child.exit_status, 0ul);
            const std::string published = recorded_package();
            c.expect(published_exists(published), "the recorded package " + quoted(published) +
                                                      " is not in the INF folder");
            auto ours = make_device(c, sample::hardware_ids);
            if (ours) {
                c.expect(install_driver(ours->instance_id(), windows_inf_folder() + published),
                         "cannot install " + published + " from the store");
                expect_bound(c, ours->instance_id(), true);
                const std::set<std::wstring> infs = names_in(widen(windows_inf_folder()));
                const setup_run again = run_setup(c, ctx, setup, widen(ctx.folder) + L"temp-again");
                c.expect_equal("exit status of the setup run again", again.child.exit_status, 0ul);
                c.expect(names_in(widen(windows_inf_folder())) == infs,
                         "the setup run again changed the INF folder");
                c.expect_equal("package recorded by the setup run again", recorded_package(), published);
                const std::map<std::string, std::string> wanted = {
                    {"DisplayName", product_name}, {"NoModify", "1"}, {"NoRepair", "1"}};
                for (const auto& [name, value] : wanted) {
                    c.expect_equal(name, entry_value(name.c_str()), value);
                }
                for (const char* name : {"DisplayVersion", "Publisher", "UninstallString", "EstimatedSize"}) {
                    c.expect(!entry_value(name).empty(), std::string("the entry has no ") + name);
                }
            }
            auto other = make_device(c, sample::hardware_ids);
            const std::string quiet = entry_value("QuietUninstallString");
            c.expect(!quiet.empty(), "the entry has no QuietUninstallString");
            if (ours && other && !quiet.empty()) {
                c.expect(install_driver(other->instance_id(), their_inf),
                         "cannot install " + their_inf + " onto " + other->instance_id());
                // Started by a standard user: refused, everything kept.
                const HANDLE token = token_without_administrators();
                c.expect(token != nullptr, "cannot make a token without the Administrators group");
                if (token != nullptr) {
                    const setup_run refused =
                        run_command(c, ctx, quiet, widen(ctx.folder) + L"temp-remove-user", token);
                    CloseHandle(token);
                    c.expect_equal("exit status of the uninstaller for a standard user",
                                   refused.child.exit_status, 740ul);
                    expect_bound(c, ours->instance_id(), true);
                    c.expect(published_exists(published), published + " left the INF folder");
                    c.expect_equal("package recorded", recorded_package(), published);
                }
                // A copy of the uninstaller, to run it once more afterwards.
                const std::string copy = ctx.folder + "uninstall-again.exe";
                const std::string program = quiet.substr(1, quiet.find('"', 1) - 1);
                c.expect(CopyFileA(program.c_str(), copy.c_str(), FALSE) != FALSE, "cannot copy " + program);
                const setup_run removal = run_command(c, ctx, quiet, widen(ctx.folder) + L"temp-remove");
                c.expect_equal("exit status of the uninstaller", removal.child.exit_status, 0ul);
                expect_logged(c, removal, "result: removed: ");
                expect_logged(c, removal, "exit status 0");
                // Removed through the class installer, the device is gone
                // until it is enumerated again; else it has no driver.
                const bound_driver left = read_bound_driver(ours->instance_id(), sample::version_value);
                c.expect(!left.present || left.driver_key.empty(), "our device kept its driver");
                expect_driver(c, other->instance_id(), theirs);
                c.expect(!published_exists(published), published + " is still in the INF folder");
                c.expect(published_exists(their_published), their_published + " left the INF folder");
                c.expect(!entry_exists(), "the Programs and Features entry is still there");
                // The uninstaller's file goes once it has ended.
                const std::string folder = install_folder();
                const auto folder_exists = [&folder] {
                    return GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
                };
                for (int wait = 0; wait < 300 && folder_exists(); ++wait) Sleep(100);
                c.expect(!folder_exists(), folder + " is still there");
                // Again: nothing is recorded any more, nothing to remove.
                const setup_run again = run_command(
                    c, ctx, "\"" + copy + "\" /S _?=" + folder, widen(ctx.folder) + L"temp-remove-again");
                c.expect_equal("exit status of the uninstaller run again", again.child.exit_status, 0ul);
                expect_logged(c, again, "nothing to remove");
                expect_driver(c, other->instance_id(), theirs);
                c.expect(published_exists(their_published), their_published + " left the INF folder");
                c.expect(!entry_exists(), "the Programs and Features entry came back");
                DeleteFileA(copy.c_str());
            }
        }
        if (!their_published.empty()) SetupUninstallOEMInfA(their_published.c_str(), SUOI_FORCEDELETE, nullptr);
        ctx.log.record(label + "staged, installed from the store, set up again, removed by its "
                               "uninstaller, which then finds nothing to remove",
                       c);
    }
    {
        // No device, and the install folder's place taken by a file: qvinst
        // cannot be installed, so nothing is staged: -1 -> 11.
        checks c;
        const std::string folder = install_folder();
        const HANDLE file = CreateFileA(folder.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        c.expect(file != INVALID_HANDLE_VALUE, "cannot put a file in place of " + folder);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (c.passed() && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute({newdev_protocol::install_action});
            const setup_run run = run_setup(c, ctx, setup, widen(ctx.folder) + L"temp-no-install-folder");
            c.expect_equal("exit status", run.child.exit_status, 11ul);
            expect_logged(c, run, "the package is not staged");
            c.expect(!entry_exists(), "an entry was written");
        }
        DeleteFileA(folder.c_str());
        ctx.log.record(label + "no device, qvinst cannot be installed: -1 -> 11", c);
    }
}


// The MSI's outcomes, each from a clean machine: a present device (or
// none), the substitute steered, msiexec /i with the row's properties.
struct msi_case {
    const char* name;
    const std::vector<std::string>* device;
    substitute_behaviour behaviour;
    const char* properties;  // added to the command line
    int result;
    const char* result_name;
    unsigned long exit_status;
    const char* logged;      // a line the log must hold, or null
    const char* not_logged;  // one it must not hold, or null
};

constexpr const char* silent_suppress = "QvRequestReboot: silent installation: REBOOT=ReallySuppress";

// A row that ends with 1603 is rolled back: its package, staged before the
// installation, leaves the store again through QvRollbackDriver.
const msi_case msi_cases[] = {
    {"installed: 1 -> 0", &sample::hardware_ids, {newdev_protocol::install_action}, "", result::installed,
     "QV7_INSTALLED", 0, "QvRequestReboot: no pending reboot", nullptr},
    {"reboot needed: 2 -> 3010", &sample::hardware_ids, {newdev_protocol::install_action, need_reboot}, "",
     result::reboot, "QV7_INSTALLED_NEEDS_REBOOT", ERROR_SUCCESS_REBOOT_REQUIRED, silent_suppress, nullptr},
    {"restart needed: 3 -> 3010", &sample::hardware_ids, {newdev_protocol::install_action, need_restart}, "",
     result::restart, "QV7_INSTALLED_NEEDS_RESTART", ERROR_SUCCESS_REBOOT_REQUIRED, silent_suppress, nullptr},
    {"restart needed, REBOOT=ReallySuppress given: 3 -> 3010", &sample::hardware_ids,
     {newdev_protocol::install_action, need_restart}, "REBOOT=ReallySuppress", result::restart,
     "QV7_INSTALLED_NEEDS_RESTART", ERROR_SUCCESS_REBOOT_REQUIRED,
     "QvRequestReboot: the driver installation returned 3; a reboot is needed", silent_suppress},
    {"no device, package staged: -1 -> 0", nullptr, {newdev_protocol::install_action}, "", result::no_device,
     "QV7_E_NO_DEVICE", 0, "QvInstallDriver: no present device; the package waits staged", nullptr},
    {"a later deferred action fails (QV_TEST_FAIL_AFTER=1): 1 -> 1603, the driver rolled back", &sample::hardware_ids,
     {newdev_protocol::install_action}, "QV_TEST_FAIL_AFTER=1", result::installed, "QV7_INSTALLED",
     ERROR_INSTALL_FAILURE, "QvInstallDriver: CustomActionData refused: ", nullptr},
    {"no driver for the device: -2 -> 1603", &unlisted_ids, {newdev_protocol::install_action}, "",
     result::no_driver, "QV7_E_NO_DRIVER", ERROR_INSTALL_FAILURE, "the installation fails", nullptr},
    {"installer fails: -3 -> 1603", &sample::hardware_ids,
     {newdev_protocol::fail_action, 0, 1, ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED}, "", result::install_failed,
     "QV7_E_INSTALL_FAILED", ERROR_INSTALL_FAILURE, "the installation fails", nullptr},
};

// The MSI's ProductCode, read from its Property table; empty when unreadable.
std::string product_code_of(const std::string& msi) {
    MSIHANDLE database = 0;
    if (MsiOpenDatabaseA(msi.c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS) return {};
    std::string code;
    MSIHANDLE view = 0;
    if (MsiDatabaseOpenViewA(database, "SELECT `Value` FROM `Property` WHERE `Property` = 'ProductCode'", &view) ==
            ERROR_SUCCESS &&
        MsiViewExecute(view, 0) == ERROR_SUCCESS) {
        MSIHANDLE record = 0;
        if (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
            char text[64] = {};
            DWORD size = sizeof text;
            if (MsiRecordGetStringA(record, 1, text, &size) == ERROR_SUCCESS) code = text;
            MsiCloseHandle(record);
        }
    }
    if (view != 0) MsiCloseHandle(view);
    MsiCloseHandle(database);
    return code;
}

bool product_registered(const std::string& product_code) {
    return MsiQueryProductStateA(product_code.c_str()) == INSTALLSTATE_DEFAULT;
}

// Whether HKLM holds the custom action's pending-reboot mark of the product.
bool reboot_mark_left(const std::string& product_code) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, custom_action::pending_reboot_key, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS) {
        return false;
    }
    const bool left = RegQueryValueExW(key, widen(product_code).c_str(), nullptr, nullptr, nullptr, nullptr) ==
                      ERROR_SUCCESS;
    RegCloseKey(key);
    return left;
}

// The published name that the product's record names; empty without a record.
std::string recorded_msi_package(const std::string& product_code) {
    const std::wstring path = std::wstring(custom_action::package_record_key) + L"\\" + widen(product_code);
    wchar_t name[MAX_PATH] = {};
    DWORD size = sizeof name - sizeof name[0];
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
        return {};
    }
    const LONG read = RegQueryValueExW(key, custom_action::published_name_value, nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) return "(unreadable record)";
    const std::wstring text = name;
    return std::string(text.begin(), text.end());  // the sample's name is ASCII
}

std::string record_key() {
    const std::wstring key = custom_action::package_record_key;
    return std::string(key.begin(), key.end());
}

// The INF files in the system's INF folder (Wine leaves a .pnf behind).
std::set<std::wstring> staged_infs() {
    std::set<std::wstring> infs;
    for (const auto& name : names_in(widen(windows_inf_folder()))) {
        if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".inf") == 0) infs.insert(name);
    }
    return infs;
}

// The INF files staged since `before`.
std::set<std::wstring> staged_since(const std::set<std::wstring>& before) {
    std::set<std::wstring> added;
    for (const auto& name : staged_infs()) {
        if (before.count(name) == 0) added.insert(name);
    }
    return added;
}

// Removed through the class installer, a device is gone until it is
// enumerated again; else it has no driver.
void expect_driver_gone(checks& c, const std::string& instance_id) {
    const bound_driver left = read_bound_driver(instance_id, sample::version_value);
    c.expect(!left.present || left.driver_key.empty(), "device " + instance_id + " kept its driver");
}

// The INF path the install action was handed, from its log line.
std::string logged_inf_path(const std::string& log) {
    const std::string lead = "CustomActionData INF=";
    const auto at = log.find(lead);
    if (at == std::string::npos) return {};
    const auto start = at + lead.size();
    return log.substr(start, log.find('|', start) - start);
}

bool file_exists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The helpers' folder the install action was handed, from its log line;
// empty when the package names none (an x64 one).
std::string logged_helpers_folder(const std::string& log) {
    const std::string lead = "|HELPERS=";
    const auto line = log.find("CustomActionData INF=");
    const auto at = line == std::string::npos ? line : log.find(lead, line);
    if (at == std::string::npos || at > log.find_first_of("\r\n", line)) return {};
    const auto start = at + lead.size();
    return log.substr(start, log.find_first_of("|\r\n", start) - start);
}

// Expects every helper of the machine table in `folder` while the product
// is installed, and none once it is not.
void expect_helpers(checks& c, const std::string& folder, bool installed) {
    for (const auto& row : wow64::machine_rows) {
        if (*row.helper == L'\0') continue;
        const std::wstring name(row.helper);
        const std::string file = folder + std::string(name.begin(), name.end());
        c.expect(file_exists(file) == installed, (installed ? "missing: " : "left behind: ") + file);
    }
}

std::string msiexec_path() {
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\msiexec.exe";
}

// msiexec with `arguments` (/qn and the log added) through run_with_temp;
// the log's text into `log`.
child_outcome run_msiexec(checks& c, const run_context& ctx, const std::string& arguments, const std::wstring& temp,
                          std::string& log) {
    const std::string log_path = ctx.folder + "msi.log";
    DeleteFileA(log_path.c_str());
    const child_outcome outcome =
        run_with_temp(c, command_line_argument(msiexec_path()) + " " + arguments + " /qn /l*v " +
                             command_line_argument(log_path),
                      temp, nullptr, msiexec_timeout_ms);
    log = read_text(log_path);
    c.expect(!log.empty(), "msiexec wrote no log");
    // Where a setup that did not end stood: the last lines of its log.
    const std::size_t tail = log.size() > 600 ? log.find('\n', log.size() - 600) : 0;
    c.expect(outcome.finished || log.empty(),
             "msiexec stopped after: " + log.substr(tail == std::string::npos ? 0 : tail));
    return outcome;
}

void expect_in_log(checks& c, const std::string& log, const std::string& text, bool present = true) {
    c.expect((log.find(text) != std::string::npos) == present,
             std::string(present ? "the log lacks " : "the log holds ") + quoted(text));
}

}  // namespace

void run_setup_program_cases(run_context& ctx) {
    run_outcomes(ctx, ctx.setup);
    if (!ctx.setup_without_export.empty()) {
        // Built from a release whose QUORVANT.dll lacks the export.
        checks c;
        const setup_run run = run_setup(c, ctx, ctx.setup_without_export,
                                        widen(ctx.folder) + L"temp-no-export");
        c.expect_equal("exit status", run.child.exit_status, 40ul);
        expect_logged(c, run, "the library could not be called");
        ctx.log.record("setup program: a library that cannot be called: 40", c);
    }
}

void run_msi_package_cases(run_context& ctx) {
    const std::string product = product_code_of(ctx.msi);
    {
        checks c;
        c.expect(!product.empty(), "no ProductCode in " + ctx.msi);
        c.expect(product.empty() || !product_registered(product), "the product is registered before any case");
        // The setup group leaves the sample package staged: each row
        // starts with it out of the store.
        const std::string sample_inf = sample::inf_file_name;
        if (staged_infs().count(widen(sample_inf)) != 0) {
            c.expect(SetupUninstallOEMInfA(sample_inf.c_str(), SUOI_FORCEDELETE, nullptr) != FALSE,
                     "cannot take " + sample_inf + " out of the INF folder");
            c.note(sample_inf + " was staged before the first case: taken out");
        }
        ctx.log.record("msi: the package's ProductCode, not installed yet, its INF not staged", c);
    }
    if (product.empty()) return;
    int runs = 0;
    for (const auto& row : msi_cases) {
        checks c;
        std::optional<virtual_device> device;
        if (prepare_case(c, ctx, row.device, row.behaviour, device)) {
            std::string log;
            const std::set<std::wstring> infs_before = staged_infs();
            const std::wstring temp = widen(ctx.folder) + L"msi-temp-" + std::to_wstring(++runs);
            const child_outcome run = run_msiexec(
                c, ctx, "/i " + command_line_argument(ctx.msi) + " " + row.properties, temp, log);
            c.expect_equal("msiexec's exit status", run.exit_status, row.exit_status);
            const bool registered = row.exit_status != ERROR_INSTALL_FAILURE;
            c.expect_equal("product registered", product_registered(product), registered);
            const std::string inf = logged_inf_path(log);
            c.expect(!inf.empty(), "the log names no INF path");
            c.expect_equal("the INF installed", file_exists(inf), registered);
            // The 32-bit package names its helpers' folder; the x64 one none.
            const std::string helpers = logged_helpers_folder(log);
            c.expect(helpers.empty() == (sizeof(void*) == 8), "the log names the helpers' folder: " + helpers);
            if (!helpers.empty()) expect_helpers(c, helpers, registered);
            expect_in_log(c, log, "returned " + std::to_string(row.result) + " (" + row.result_name + ": ");
            expect_in_log(c, log, "; last error 0x");
            expect_in_log(c, log, "QvInstallDriver: stage_package(" + inf + ") returned staged, name ");
            if (row.behaviour.error != 0) {
                // The x64 action installs in its own process: the
                // installer's error is the library's last error.
                char error[32];
                std::snprintf(error, sizeof error, "last error 0x%08lX", row.behaviour.error);
                expect_in_log(c, log, error);
            }
            if (row.logged != nullptr) expect_in_log(c, log, row.logged);
            if (row.not_logged != nullptr) expect_in_log(c, log, row.not_logged, false);
            c.expect(!reboot_mark_left(product), "the pending-reboot mark is left in HKLM");
            const std::string recorded = recorded_msi_package(product);
            const std::set<std::wstring> staged = staged_since(infs_before);
            if (registered) {
                expect_in_log(c, log, "QvInstallDriver: recorded " + recorded + " under HKLM\\" + record_key() +
                                          "\\" + product);
                expect_in_log(c, log, "; staged before", false);
                c.expect(staged.size() == 1 && staged.count(widen(recorded)) == 1,
                         "not exactly the recorded package " + quoted(recorded) + " staged, but " +
                             std::to_string(staged.size()) + " INF files");
            } else {
                expect_in_log(c, log, "QvRollbackDriver: the package of " + product + "; CustomActionData INF=" + inf + "|");
                expect_in_log(c, log, "QvRollbackDriver: remove_package(" + file_name_of(inf) + ") returned removed, ");
                expect_in_log(c, log, "QvRollbackDriver: the record of " + product + " is removed");
                c.expect(recorded.empty(), "the rolled-back product's record is left: " + recorded);
                c.expect(staged.empty(), std::to_string(staged.size()) + " INF files left staged");
            }
            if (device) {
                if (registered) {
                    expect_bound(c, device->instance_id(), row.result > 0);
                } else {
                    expect_driver_gone(c, device->instance_id());
                }
            }
            if (product_registered(product)) {
                // Uninstalled: the driver off the device, the package out of
                // the store, the record gone; a clean machine for the next row.
                std::string removal_log;
                const child_outcome removal =
                    run_msiexec(c, ctx, "/x " + product, widen(ctx.folder) + L"msi-temp-removal", removal_log);
                c.expect_equal("msiexec /x exit status", removal.exit_status, 0ul);
                c.expect(!product_registered(product), "still registered after msiexec /x");
                expect_in_log(c, removal_log, "QvRemoveDriver: remove_package(" + recorded + ") returned removed, ");
                expect_in_log(c, removal_log, "QvRemoveDriver: the record of " + product + " is removed");
                expect_in_log(c, removal_log, "QvRequestReboot: no pending reboot");
                c.expect(recorded_msi_package(product).empty(), "the record is left after msiexec /x");
                c.expect(staged_since(infs_before).empty(), "a package is left staged after msiexec /x");
                c.expect(!reboot_mark_left(product), "the pending-reboot mark is left after msiexec /x");
                if (device) expect_driver_gone(c, device->instance_id());
                if (!helpers.empty()) expect_helpers(c, helpers, false);
            }
        }
        ctx.log.record(std::string("msi: ") + row.name, c);
    }
    {
        // A major upgrade: 1.0.0 installed onto the device, then 1.1.0 (one
        // UpgradeCode), whose RemoveExistingProducts runs 1.0.0's uninstall
        // before it installs: exactly one package of ours, 1.1.0's; then
        // msiexec /x leaves none.
        checks c;
        const std::string upgraded = ctx.msi_upgrade.empty() ? std::string() : product_code_of(ctx.msi_upgrade);
        c.expect(!upgraded.empty() && upgraded != product, "no upgrade MSI with a ProductCode of its own (--msi-upgrade)");
        std::optional<virtual_device> device;
        if (c.passed() && prepare_case(c, ctx, &sample::hardware_ids, {newdev_protocol::install_action}, device)) {
            const std::set<std::wstring> infs_before = staged_infs();
            std::string log;
            const child_outcome first =
                run_msiexec(c, ctx, "/i " + command_line_argument(ctx.msi), widen(ctx.folder) + L"msi-temp-1.0.0", log);
            c.expect_equal("msiexec's exit status for 1.0.0", first.exit_status, 0ul);
            expect_bound(c, device->instance_id(), true);
            const std::string old_package = recorded_msi_package(product);
            c.expect(!old_package.empty(), "1.0.0 recorded no package");
            const child_outcome second = run_msiexec(c, ctx, "/i " + command_line_argument(ctx.msi_upgrade),
                                                     widen(ctx.folder) + L"msi-temp-1.1.0", log);
            c.expect_equal("msiexec's exit status for 1.1.0", second.exit_status, 0ul);
            c.expect(product_registered(upgraded), "1.1.0 is not registered");
            c.expect(!product_registered(product), "1.0.0 is still registered");
            c.expect(recorded_msi_package(product).empty(), "1.0.0's record is left");
            const std::string new_package = recorded_msi_package(upgraded);
            const std::set<std::wstring> staged = staged_since(infs_before);
            c.expect(staged.size() == 1 && staged.count(widen(new_package)) == 1,
                     "not exactly 1.1.0's recorded package " + quoted(new_package) + " staged, but " +
                         std::to_string(staged.size()) + " INF files");
            expect_in_log(c, log, "QvInstallDriver: recorded " + new_package + " under HKLM\\" + record_key() +
                                      "\\" + upgraded);
            expect_in_log(c, log, "; staged before", false);
            const bound_driver after = read_bound_driver(device->instance_id(), sample::version_value);
            c.note(after.present ? (after.driver_key.empty() ? "after the upgrade the device has no driver"
                                                              : "after the upgrade the device has the driver")
                                 : "after the upgrade the device is gone (removed with 1.0.0's driver)");
            if (product_registered(upgraded)) {
                const child_outcome removal =
                    run_msiexec(c, ctx, "/x " + upgraded, widen(ctx.folder) + L"msi-temp-removal", log);
                c.expect_equal("msiexec /x exit status", removal.exit_status, 0ul);
                c.expect(!product_registered(upgraded), "1.1.0 is still registered after msiexec /x");
            }
            c.expect(recorded_msi_package(upgraded).empty(), "1.1.0's record is left after msiexec /x");
            c.expect(staged_since(infs_before).empty(), "a package is left staged after msiexec /x");
            expect_driver_gone(c, device->instance_id());
        }
        if (!upgraded.empty() && product_registered(upgraded)) {
            std::string log;
            run_msiexec(c, ctx, "/x " + upgraded, widen(ctx.folder) + L"msi-temp-cleanup", log);
        }
        if (product_registered(product)) {
            std::string log;
            run_msiexec(c, ctx, "/x " + product, widen(ctx.folder) + L"msi-temp-cleanup", log);
        }
        ctx.log.record("msi: upgrade 1.0.0 -> 1.1.0: one package of ours, 1.1.0's; msiexec /x leaves none", c);
    }
}

}  // namespace e2e
