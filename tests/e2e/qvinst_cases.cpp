// qvinst.exe as an installer author runs it: each case starts it as a child
// process with arguments, beside QUORVANT.dll, alone in a folder or beside
// the DLL in a folder whose name the ANSI code page cannot hold, and
// checks its whole exit status, what it prints on stdout (text and --json)
// and on stderr. list, find and install work on virtual devices created for
// the group; install reaches the NEWDEV the runner puts in place, and the
// substitute is steered through the environment the child inherits.
#include "tests/e2e/child_process.h"
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"

#include <windows.h>
#include <setupapi.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace e2e {
namespace {

constexpr const char* version = QV_E2E_PROJECT_VERSION;
// qvinst's exit statuses, written out here rather than taken from qvinst.
constexpr unsigned long exit_done = 0;
constexpr unsigned long exit_trouble = 1;
constexpr unsigned long exit_usage = 2;
constexpr unsigned long exit_no_compact_id = 3;
constexpr unsigned long exit_restart_needed = 3010;
constexpr unsigned long exit_no_device = 11;
// InstallSelectedDriver's reboot word.
constexpr unsigned long need_restart = 0x80;
constexpr unsigned long need_reboot = 0x100;

struct device_plan {
    const char* hardware_id;
    const char* compact_id;  // empty: the hardware ID has none
    bool served;             // also carries the ID the group's INF names
};
const device_plan pci_a = {"PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF&CC_030000&REV_01",
                           "PCI123456780DEF9ABC03000100", true};
const device_plan pci_b = {"PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF&CC_020000&REV_02",
                           "PCI123456780DEF9ABC02000200", true};
const device_plan usb = {"USB\\VID_0A1B&PID_2C3D&MI_01", "USB0A1B2C3D000001", true};
const device_plan acpi = {"ACPI\\PNP0A03", "PNPPNP0A03", true};
const device_plan no_compact = {"ROOT\\QVINST_NONE", "", true};
// A quote and a tab, which --json must escape.
const device_plan odd = {"PCMCIA\\Quote\"Tab\tEnd", "PCCQuote\"Tab\tEnd", false};
constexpr const char* pci_window = "PCI123456780DEF9ABC";
constexpr const char* usb_other_revision = "USB0A1B2C3D000000";
constexpr const char* model_hardware_id = "QVINST\\TEST_MODEL";

struct made_device {
    std::string instance_id;
    const device_plan* plan = nullptr;
};

// Which copy of qvinst.exe a case runs: the one beside QUORVANT.dll, one
// alone in a folder, or one beside a copy of the DLL in a folder whose name
// the ANSI code page lacks a character of, where the code page's nearest
// name leads to another file named QUORVANT.dll.
enum class copy { beside_library, alone, foreign_folder, count };

// What the cases share: the devices (removed when the group ends), the
// INF, and the copies of qvinst.exe.
struct fixture {
    std::vector<virtual_device> owned;
    made_device pci_a, pci_b, usb, acpi, no_compact, odd;
    made_device pci_first, pci_last;  // the two PCI devices in enumeration order
    driver_package package{model_hardware_id, "qvinst test device", "01/15/2024,1.0.0.0", "qvinst"};
    std::string inf;
    std::string absent_inf;
    std::wstring qvinst[static_cast<int>(copy::count)];
    std::string foreign_dll;  // the path of the DLL in the foreign folder, in UTF-8
};

bool make(fixture& f, checks& c, made_device& made, const device_plan& plan) {
    std::vector<std::string> ids{plan.hardware_id};
    if (plan.served) ids.emplace_back(model_hardware_id);
    auto device = make_device(c, ids);
    if (!device) return false;
    made = {device->instance_id(), &plan};
    f.owned.push_back(std::move(*device));
    return true;
}

std::string utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(static_cast<std::size_t>(WideCharToMultiByte(
        CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
    return out.c_str();
}

// Copies qvinst.exe, and with `library` QUORVANT.dll, into `folder`; returns
// the copy of qvinst.exe.
std::wstring copy_qvinst(checks& c, const std::string& shipped, const std::wstring& folder,
                         bool library) {
    const std::wstring from = ansi_to_wide(shipped.substr(0, shipped.rfind('\\') + 1));
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* file : {L"qvinst.exe", library ? L"QUORVANT.dll" : nullptr}) {
        c.expect(!file || CopyFileW((from + file).c_str(), (folder + L"\\" + file).c_str(), FALSE),
                 "cannot copy qvinst.exe and its library to " + utf8(folder));
    }
    return folder + L"\\qvinst.exe";
}

bool prepare(run_context& ctx, fixture& f, checks& c) {
    const std::wstring foreign_name = L"qvinst-\u0100";
    std::string fitted(16, '\0');
    WideCharToMultiByte(CP_ACP, 0, foreign_name.c_str(), -1, fitted.data(),
                        static_cast<int>(fitted.size()), nullptr, nullptr);
    fitted = ctx.folder + fitted.c_str();
    c.expect(ansi_to_wide(fitted) != ansi_to_wide(ctx.folder) + foreign_name,
             "the ANSI code page holds every character of " + utf8(foreign_name));
    f.qvinst[static_cast<int>(copy::beside_library)] = ansi_to_wide(ctx.qvinst);
    f.qvinst[static_cast<int>(copy::alone)] =
        copy_qvinst(c, ctx.qvinst, ansi_to_wide(ctx.folder + "qvinst-alone"), false);
    f.qvinst[static_cast<int>(copy::foreign_folder)] =
        copy_qvinst(c, ctx.qvinst, ansi_to_wide(ctx.folder) + foreign_name, true);
    f.foreign_dll = utf8(ansi_to_wide(ctx.folder) + foreign_name + L"\\QUORVANT.dll");
    CreateDirectoryA(fitted.c_str(), nullptr);
    c.expect(write_file(fitted + "\\QUORVANT.dll", "not the library\n"),
             "cannot write " + fitted + "\\QUORVANT.dll");
    f.inf = write_inf(ctx, "qvinst.inf", f.package);
    f.absent_inf = ctx.folder + "qvinst-absent.inf";
    DeleteFileA(f.absent_inf.c_str());
    if (!c.passed() || !make(f, c, f.pci_a, pci_a) || !make(f, c, f.usb, usb) ||
        !make(f, c, f.pci_b, pci_b) || !make(f, c, f.acpi, acpi) ||
        !make(f, c, f.no_compact, no_compact) || !make(f, c, f.odd, odd)) {
        return false;
    }
    const auto devices = list_present_devices();
    const bool a_first = enumeration_position(devices, f.pci_a.instance_id) <
                         enumeration_position(devices, f.pci_b.instance_id);
    f.pci_first = a_first ? f.pci_a : f.pci_b;
    f.pci_last = a_first ? f.pci_b : f.pci_a;
    return true;
}

std::string json(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        if (ch == '\\' || ch == '"') out += '\\';
        out += ch == '\t' ? std::string("\\t") : std::string(1, ch);
    }
    return out + "\"";
}

std::string row_text(const made_device& d) {
    const std::string compact = d.plan->compact_id;
    return d.instance_id + "\t" + d.plan->hardware_id + "\t" + (compact.empty() ? "-" : compact) +
           "\n";
}

// A device's JSON object without its closing brace.
std::string row_json(const made_device& d) {
    return "{\"instance_id\":" + json(d.instance_id) + ",\"hardware_id\":" +
           json(d.plan->hardware_id) + ",\"compact_id\":" + json(d.plan->compact_id);
}

// list's expected rows: every present device in enumeration order, whole for
// the group's devices, by instance ID for the others.
std::vector<std::string> list_rows(const fixture& f, bool as_json) {
    std::vector<std::string> rows;
    for (const auto& present : list_present_devices()) {
        const made_device* mine = nullptr;
        for (const made_device* d : {&f.pci_a, &f.pci_b, &f.usb, &f.acpi, &f.no_compact, &f.odd}) {
            if (same_path(d->instance_id, present.instance_id)) mine = d;
        }
        if (as_json) {
            rows.push_back(mine ? row_json(*mine) + "}"
                                : "{\"instance_id\":" + json(present.instance_id) + ",");
        } else {
            rows.push_back(mine ? row_text(*mine) : present.instance_id + "\t");
        }
    }
    return rows;
}

struct conditions {
    newdev_kind newdev = newdev_kind::substitute;
    substitute_behaviour behaviour{newdev_protocol::succeed_action};
    copy program = copy::beside_library;
    std::string bound{};         // device that must have the group's driver afterwards
    std::string unbound{};       // device that must have no driver afterwards
};

struct qvinst_case {
    std::string name;
    std::vector<std::string> arguments;
    unsigned long status;
    std::vector<std::string> out;  // on stdout, in this order; none: stdout is empty
    std::string err{};             // on stderr; empty: stderr is empty
    conditions given{};
    std::function<void(checks&)> after{};  // what must hold afterwards
};

std::vector<qvinst_case> qvinst_cases(const fixture& f) {
    using newdev_protocol::fail_action;
    using newdev_protocol::install_action;
    using newdev_protocol::succeed_action;
    const std::string usage = "usage: qvinst";
    const conditions alone{newdev_kind::substitute, {succeed_action}, copy::alone};
    const conditions foreign{newdev_kind::substitute, {succeed_action}, copy::foreign_folder};
    const std::string usb_id = usb.compact_id;
    return {
        {"list: every present device in enumeration order, with hardware and compact ID",
         {"list"}, exit_done, list_rows(f, false)},
        {"list --json: the same devices and order", {"--json", "list"}, exit_done,
         list_rows(f, true)},
        {"id: one compact ID per text", {"id", pci_a.hardware_id, usb.hardware_id, acpi.hardware_id},
         exit_done, {std::string(pci_a.compact_id) + "\n" + usb_id + "\n" + acpi.compact_id + "\n"}},
        {"id: '-' for a text without compact ID, exit status 3",
         {"id", no_compact.hardware_id, usb.hardware_id}, exit_no_compact_id, {"-\n" + usb_id + "\n"}},
        {"id --json: a quote and a tab come back escaped", {"--json", "id", odd.hardware_id},
         exit_done,
         {"{\"ids\":[{\"hardware_id\":" + json(odd.hardware_id) + ",\"compact_id\":" +
          json(odd.compact_id) + "}]}\n"}},
        {"find: 19-character rule, both PCI devices, the later one marked and chosen",
         {"find", pci_window}, exit_done,
         {std::string("wanted: ") + pci_window + "\nrule: first 19 characters",
          "  " + row_text(f.pci_first), "* " + row_text(f.pci_last),
          "chosen: " + f.pci_last.instance_id + "\n"}},
        {"find --json: a whole PCI ID still matches on 19 characters",
         {"--json", "find", pci_a.compact_id}, exit_done,
         {std::string("{\"wanted\":\"") + pci_a.compact_id +
              "\",\"rule\":\"first 19 characters\",\"devices\":[" + row_json(f.pci_first) +
              ",\"chosen\":false}," + row_json(f.pci_last) + ",\"chosen\":true}],\"chosen\":" +
              json(f.pci_last.instance_id) + "}\n"}},
        {"find --json: whole-text rule, the one USB device chosen", {"--json", "find", usb_id},
         exit_done,
         {"{\"wanted\":\"" + usb_id + "\",\"rule\":\"whole text\",\"devices\":[" + row_json(f.usb) +
          ",\"chosen\":true}],\"chosen\":" + json(f.usb.instance_id) + "}\n"}},
        {"find: another USB revision matches nothing, exit status 11",
         {"find", usb_other_revision}, exit_no_device,
         {"rule: whole text", "no present device matches\n", "chosen: none\n"}},
        {"find --json: no match, no devices, chosen null", {"--json", "find", usb_other_revision},
         exit_no_device,
         {std::string("{\"wanted\":\"") + usb_other_revision +
          "\",\"rule\":\"whole text\",\"devices\":[],\"chosen\":null}\n"}},
        {"install: driver installed onto the device find chose, 1", {"install", f.inf, pci_window},
         exit_done, {"1 QV7_INSTALLED: "}, "",
         {newdev_kind::substitute, {install_action}, copy::beside_library, f.pci_last.instance_id,
          f.pci_first.instance_id}},
        {"install: reboot needed, 2, exit status 3010", {"install", f.inf, usb_id},
         exit_restart_needed, {"2 QV7_INSTALLED_NEEDS_REBOOT: "}, "",
         {newdev_kind::substitute, {succeed_action, need_reboot}}},
        {"install: restart needed, 3, exit status 3010", {"install", f.inf, usb_id},
         exit_restart_needed, {"3 QV7_INSTALLED_NEEDS_RESTART: "}, "",
         {newdev_kind::substitute, {succeed_action, need_restart}}},
        {"install: reboot and restart, 3, exit status 3010", {"install", f.inf, acpi.compact_id},
         exit_restart_needed, {"3 QV7_INSTALLED_NEEDS_RESTART: "}, "",
         {newdev_kind::substitute, {succeed_action, need_reboot | need_restart}}},
        {"install: no matching device, -1, exit status 11", {"install", f.inf, usb_other_revision},
         exit_no_device, {"-1 QV7_E_NO_DEVICE: "}},
        {"install: missing INF, -2, exit status 12", {"install", f.absent_inf, usb_id}, 12,
         {"-2 QV7_E_NO_DRIVER: "}},
        {"install: driver installer failed, -3, exit status 13", {"install", f.inf, usb_id}, 13,
         {"-3 QV7_E_INSTALL_FAILED: "}, "",
         {newdev_kind::substitute, {fail_action, 0, 1, ERROR_ACCESS_DENIED}}},
        {"install: empty INF path, -4, exit status 14", {"install", "", usb_id}, 14,
         {"-4 QV7_E_NO_INF_PATH: "}},
        {"install: no NEWDEV.DLL, -7, exit status 17", {"install", f.inf, usb_id}, 17,
         {"-7 QV7_E_NO_NEWDEV: "}, "", {newdev_kind::missing}},
        {"install: not an NT driver, -8, exit status 18", {"install", f.inf, usb_id}, 18,
         {"-8 QV7_E_NOT_NT_DRIVER: "}, "",
         {newdev_kind::substitute, {fail_action, 0, 1, ERROR_NON_WINDOWS_NT_DRIVER}}},
        {"install: NEWDEV.DLL without InstallSelectedDriver, -9, exit status 19",
         {"install", f.inf, usb_id}, 19, {"-9 QV7_E_NO_ENTRY_POINT: "}, "",
         {newdev_kind::without_entry}},
        {"install --json: result, name, meaning and arguments, exit status 3010",
         {"--json", "install", f.inf, usb_id}, exit_restart_needed,
         {"{\"inf\":" + json(f.inf) + ",\"compact_id\":\"" + usb_id +
              "\",\"result\":2,\"name\":\"QV7_INSTALLED_NEEDS_REBOOT\",\"meaning\":\"",
          "DI_NEEDREBOOT", "\",\"exit_status\":3010}\n"},
         "", {newdev_kind::substitute, {succeed_action, need_reboot}}},
        {"install --json: no device, -1", {"--json", "install", f.inf, usb_other_revision},
         exit_no_device, {"\"result\":-1,\"name\":\"QV7_E_NO_DEVICE\",", "\"exit_status\":11}\n"}},
        {"install without QUORVANT.dll beside it: exit status 1, says so",
         {"install", f.inf, usb_id}, exit_trouble, {}, "QUORVANT.dll", alone},
        {"--version: qvinst's version and the DLL's", {"--version"}, exit_done,
         {std::string("qvinst ") + version + "\n", std::string("QUORVANT.dll ") + version + ".0 ("}},
        {"--version without the DLL: qvinst's version, exit status 1", {"--version"}, exit_trouble,
         {std::string("qvinst ") + version + "\n"}, "QUORVANT.dll", alone},
        {"--version in a folder named outside the code page: the DLL beside it, by its path",
         {"--version"}, exit_done,
         {std::string("QUORVANT.dll ") + version + ".0 (" + f.foreign_dll + ")\n"}, "", foreign},
        {"install in a folder named outside the code page: through the DLL beside it, 2",
         {"install", f.inf, usb_id}, exit_restart_needed, {"2 QV7_INSTALLED_NEEDS_REBOOT: "}, "",
         {newdev_kind::substitute, {succeed_action, need_reboot}, copy::foreign_folder}},
        {"--help: the exit-status table", {"--help"}, exit_done,
         {"3010  result 2 QV7_INSTALLED_NEEDS_REBOOT"}},
        {"bad arguments, none: usage on stderr, exit status 2", {}, exit_usage, {}, usage},
        {"bad arguments, unknown command", {"frobnicate"}, exit_usage, {}, usage},
        {"bad arguments, unknown option", {"--jsn", "list"}, exit_usage, {}, usage},
        {"bad arguments, list with an operand", {"list", "extra"}, exit_usage, {}, usage},
        {"bad arguments, find without ID", {"find"}, exit_usage, {}, usage},
        {"bad arguments, install with one operand", {"install", f.inf}, exit_usage, {}, usage},
        {"bad arguments, --version with a command", {"--version", "list"}, exit_usage, {}, usage},
    };
}

std::string without_carriage_returns(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        if (ch != '\r') out += ch;
    }
    return out;
}

void expect_in_order(checks& c, const std::string& stream, const std::string& text,
                     const std::vector<std::string>& parts) {
    if (parts.empty()) {
        c.expect(text.empty(), stream + " is not empty: " + quoted(text));
        return;
    }
    std::size_t from = 0;
    for (const auto& part : parts) {
        const std::size_t at = text.find(part, from);
        if (at == std::string::npos) {
            c.expect(false, stream + " lacks " + quoted(part) +
                                (from == 0 ? "" : " after what precedes it") + ": " + quoted(text));
            return;
        }
        from = at + part.size();
    }
}

void run_case(run_context& ctx, const fixture& f, const qvinst_case& row) {
    checks c;
    if (use_newdev(c, ctx, row.given.newdev)) {
        steer_substitute(row.given.behaviour);
        const child_outcome run =
            run_child(f.qvinst[static_cast<int>(row.given.program)], row.arguments);
        c.expect(run.finished, run.problem);
        if (run.finished) {
            c.expect_equal("exit status", run.exit_status, row.status);
            expect_in_order(c, "stdout", without_carriage_returns(run.out), row.out);
            expect_in_order(c, "stderr", without_carriage_returns(run.err),
                            row.err.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{row.err});
        }
        if (!row.given.bound.empty()) expect_driver(c, row.given.bound, f.package);
        if (!row.given.unbound.empty()) expect_no_driver(c, row.given.unbound);
        if (row.after) row.after(c);
    }
    ctx.log.record("qvinst: " + row.name, c);
}

// ---- stage and remove: a package staged, found by its published name and
// removed with the driver it gave to a device; a second vendor's package
// for the same hardware ID, staged beforehand and bound to a second
// device, stays as it was. What Wine cannot show: the driver store's
// FileRepository and Windows' own oemN.inf naming (Wine publishes an INF
// under its own file name while that is free), so the published name is
// read from stage's answer and looked for in %WINDIR%\INF.

constexpr unsigned long exit_inf_missing = 21;
constexpr unsigned long exit_not_a_package = 22;

struct package_fixture {
    driver_package ours{"QVPKG\\SAME_MODEL", "qvinst package device", "01/15/2024,1.0.0.0",
                        "qvpkg-ours"};
    driver_package theirs{"QVPKG\\SAME_MODEL", "another vendor's device", "02/01/2024,2.0.0.0",
                          "qvpkg-theirs"};
    std::string inf, other_inf, not_inf, absent_inf;
    std::string published, other_published;
    std::vector<virtual_device> owned;  // ours, then theirs
};

bool published_exists(const std::string& name) {
    return !name.empty() &&
           GetFileAttributesA((windows_inf_folder() + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The published name stage printed; empty when it printed none.
std::string published_name_in(const std::string& out) {
    const std::string label = "published name: ";
    const std::size_t at = out.find(label);
    if (at == std::string::npos) return {};
    const std::size_t end = out.find_first_of("\r\n", at);
    const std::string name = out.substr(at + label.size(), end - at - label.size());
    return name == "-" ? std::string() : name;
}

std::string package_folder(const run_context& ctx, const std::string& name) {
    const std::string folder = ctx.folder + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return name + "\\";
}

bool prepare_packages(run_context& ctx, package_fixture& p, checks& c) {
    p.inf = write_inf(ctx, package_folder(ctx, "qvpkg-ours") + "qvpkg-ours.inf", p.ours);
    p.other_inf = write_inf(ctx, package_folder(ctx, "qvpkg-theirs") + "qvpkg-theirs.inf", p.theirs);
    p.not_inf = ctx.folder + "qvpkg-notes.txt";
    p.absent_inf = ctx.folder + "qvpkg-ours\\absent.inf";
    DeleteFileA(p.absent_inf.c_str());
    c.expect(write_file(p.not_inf, "notes, not an INF\r\n"), "cannot write " + p.not_inf);
    char staged[MAX_PATH] = {};
    char* name = nullptr;
    c.expect(SetupCopyOEMInfA(p.other_inf.c_str(), nullptr, SPOST_PATH, 0, staged, MAX_PATH, nullptr,
                              &name) && name != nullptr,
             "cannot stage " + p.other_inf);
    if (!c.passed()) return false;
    p.other_published = name;
    for (int i = 0; i < 2; ++i) {
        auto device = make_device(c, {p.ours.hardware_id});
        if (!device) return false;
        p.owned.push_back(std::move(*device));
    }
    const std::string& theirs = p.owned[1].instance_id();
    c.expect(install_driver(theirs, p.other_inf), "cannot install " + p.other_inf + " onto " + theirs);
    const bound_driver bound = read_bound_driver(theirs, marker_value_name);
    c.expect(same_path(bound.inf_path, p.other_published),
             "the driver key of " + theirs + " names " + quoted(bound.inf_path) + ", not " +
                 quoted(p.other_published));
    return c.passed();
}

// What holds after the package is removed: our device lost its driver
// (the class installer removed it), the second vendor's device and
// package are as they were, our published INF is gone.
void expect_removed(checks& c, const package_fixture& p, const std::string& published) {
    const std::string& ours = p.owned[0].instance_id();
    const bound_driver d = read_bound_driver(ours, marker_value_name);
    c.expect(!d.present || d.driver_key.empty(), "device " + ours + " kept its driver");
    expect_driver(c, p.owned[1].instance_id(), p.theirs);
    c.expect(!published_exists(published), published + " is still in the INF folder");
    c.expect(published_exists(p.other_published), p.other_published + " left the INF folder");
}

std::string no_error_json() { return ",\"error\":null,\"error_name\":null,\"error_text\":null}\n"; }

std::vector<qvinst_case> package_cases(const package_fixture& p) {
    const std::string& name = p.published;
    const auto removed = [&p, name](checks& c) { expect_removed(c, p, name); };
    const auto still_staged = [name](checks& c) {
        c.expect(published_exists(name), name + " left the INF folder");
    };
    return {
        {"stage: staged already, the same published name", {"stage", p.inf}, exit_done,
         {"inf: " + p.inf + "\npublished name: " + name + "\n", "result: already_staged: "}, "", {},
         still_staged},
        {"stage --json: inf, published name, result, exit status, no error", {"--json", "stage", p.inf},
         exit_done,
         {"{\"inf\":" + json(p.inf) + ",\"published_name\":" + json(name) +
              ",\"result\":\"already_staged\",\"meaning\":\"",
          "\",\"exit_status\":0" + no_error_json()}},
        {"stage: a missing INF, 21, the platform's error named", {"stage", p.absent_inf},
         exit_inf_missing,
         {"published name: -\n", "result: inf_missing: ", "error: ERROR_FILE_NOT_FOUND (2)"}},
        {"stage: a file that is not an INF, 22", {"stage", p.not_inf}, exit_not_a_package,
         {"published name: -\n", "result: not_a_package: ", "error: "}},
        {"stage: bad arguments, no INF", {"stage"}, exit_usage, {}, "usage: qvinst"},
        {"remove: a published name that does not exist, nothing to remove, 0",
         {"remove", "qvpkg-absent.inf"}, exit_done,
         {"published name: -\n", "devices whose driver was removed: 0\n", "result: nothing_to_remove: "},
         "", {}, still_staged},
        {"remove: a missing INF, 21", {"remove", p.absent_inf}, exit_inf_missing,
         {"result: inf_missing: ", "error: ERROR_FILE_NOT_FOUND (2)"}, "", {}, still_staged},
        {"remove: a file that is not an INF, nothing to remove, 0", {"remove", p.not_inf}, exit_done,
         {"result: nothing_to_remove: "}, "", {}, still_staged},
        {"remove: by the original INF, from the device that uses it only, then from the store",
         {"remove", p.inf}, exit_done,
         {"package: " + p.inf + "\npublished name: " + name + "\n",
          "devices whose driver was removed: 1\n", "result: removed: "},
         "", {}, removed},
        {"remove: the same again, nothing to remove, 0", {"remove", p.inf}, exit_done,
         {"published name: -\n", "devices whose driver was removed: 0\n", "result: nothing_to_remove: "},
         "", {}, removed},
        {"stage: staged anew under the same name", {"stage", p.inf}, exit_done,
         {"published name: " + name + "\n", "result: staged: "}, "", {}, still_staged},
        {"remove --json: by its published name", {"--json", "remove", name}, exit_done,
         {"{\"package\":" + json(name) + ",\"published_name\":" + json(name) +
              ",\"devices_removed\":0,\"result\":\"removed\",\"meaning\":\"",
          "\",\"exit_status\":0" + no_error_json()},
         "", {}, removed},
        {"remove --json: by its published name again, nothing to remove", {"--json", "remove", name},
         exit_done,
         {"{\"package\":" + json(name) + ",\"published_name\":null,\"devices_removed\":0,"
          "\"result\":\"nothing_to_remove\",",
          "\"exit_status\":0" + no_error_json()},
         "", {}, removed},
        {"remove --json: a missing INF, the error by number and name", {"--json", "remove", p.absent_inf},
         exit_inf_missing,
         {"\"result\":\"inf_missing\",", "\"exit_status\":21,\"error\":2,\"error_name\":\"ERROR_FILE_NOT_FOUND\""}},
    };
}

void run_package_cases(run_context& ctx, const fixture& f) {
    package_fixture p;
    checks c;
    if (prepare_packages(ctx, p, c) && use_newdev(c, ctx, newdev_kind::substitute)) {
        // Staged here first, so that its published name is known to the
        // cases; then installed onto our device as the system installs it.
        const child_outcome run =
            run_child(f.qvinst[static_cast<int>(copy::beside_library)], {"stage", p.inf});
        c.expect(run.finished, run.problem);
        c.expect_equal("exit status", run.exit_status, exit_done);
        p.published = published_name_in(run.out);
        c.expect(published_exists(p.published),
                 "stage printed no published name in the INF folder: " + quoted(run.out));
        const std::string& ours = p.owned[0].instance_id();
        c.expect(install_driver(ours, p.inf), "cannot install " + p.inf + " onto " + ours);
        const bound_driver bound = read_bound_driver(ours, marker_value_name);
        c.expect(same_path(bound.inf_path, p.published),
                 "the driver key of " + ours + " names " + quoted(bound.inf_path) + ", not " +
                     quoted(p.published));
    }
    ctx.log.record("qvinst: stage: the package staged, its published name the one the driver key "
                   "of a device installed from it names",
                   c);
    if (c.passed()) {
        for (const auto& row : package_cases(p)) run_case(ctx, f, row);
    }
    SetupUninstallOEMInfA(p.other_published.c_str(), SUOI_FORCEDELETE, nullptr);
}

// Under WOW64 the 32-bit qvinst hands stage and remove over to the native
// one. An INF named by a System32 path (SysWOW64 to the caller) or a
// Sysnative path (the native System32) is written only where the caller's
// view names it: the native qvinst stages and removes it only when it is
// handed the file the caller named.
void run_package_view_cases(run_context& ctx, const fixture& f) {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string system_folder = system;
    const std::string windows = system_folder.substr(0, system_folder.rfind('\\') + 1);
    for (const char* folder : {"System32", "Sysnative"}) {
        checks c;
        const std::string path = windows + folder + "\\qvpkg-view-" + folder + ".inf";
        const driver_package package{"QVPKG\\VIEW", "view test device", "01/15/2024,1.0.0.0", folder};
        c.expect(write_file(path, driver_inf_text(package)), "cannot write " + path);
        const std::wstring& qvinst = f.qvinst[static_cast<int>(copy::beside_library)];
        const child_outcome staged = run_child(qvinst, {"stage", path});
        c.expect(staged.finished, staged.problem);
        c.expect_equal("stage's exit status", staged.exit_status, exit_done);
        const std::string name = published_name_in(staged.out);
        c.expect(published_exists(name), "no published INF: " + quoted(staged.out));
        const child_outcome removed = run_child(qvinst, {"remove", path});
        c.expect(removed.finished, removed.problem);
        c.expect_equal("remove's exit status", removed.exit_status, exit_done);
        c.expect(removed.out.find("result: removed: ") != std::string::npos,
                 "remove did not remove: " + quoted(removed.out));
        c.expect(!published_exists(name), name + " is still in the INF folder");
        DeleteFileA(path.c_str());
        ctx.log.record(std::string("qvinst: stage and remove of a ") + folder +
                           " INF path, through the native qvinst, take the file the caller named",
                       c);
    }
}

}  // namespace

void run_qvinst_cases(run_context& ctx) {
    fixture f;
    checks c;
    if (!prepare(ctx, f, c)) {
        ctx.log.record("qvinst: the group's virtual devices, INF and copies of qvinst.exe", c);
        return;
    }
    for (const auto& row : qvinst_cases(f)) run_case(ctx, f, row);
    run_package_cases(ctx, f);
}

void run_qvinst_package_cases(run_context& ctx) {
    fixture f;
    f.qvinst[static_cast<int>(copy::beside_library)] = ansi_to_wide(ctx.qvinst);
    run_package_cases(ctx, f);
    run_package_view_cases(ctx, f);
}

}  // namespace e2e
