// qvinst drivers and install --explain, run as a child process against a
// real device and real INF files: each reason for an unselected driver, a
// selected one, and an explained installation with every step.
#include "tests/e2e/child_process.h"
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"

namespace e2e {
namespace {

// install's and drivers' exit statuses.
constexpr unsigned long exit_selected = 0;
constexpr unsigned long exit_no_device = 11;
constexpr unsigned long exit_no_driver = 12;

const std::vector<std::string> device_ids = {"USB\\VID_5156&PID_0D01&REV_0001",
                                             "QVDIAG\\MODEL"};
constexpr const char* device_compact_id = "USB51560D01000100";
constexpr const char* absent_compact_id = "USB51560D01000199";

// Runs qvinst with `arguments`; notes in `c` when it did not run to its end.
child_outcome run_qvinst(checks& c, const run_context& ctx,
                         const std::vector<std::string>& arguments) {
    child_outcome run = run_child(ctx.qvinst, arguments);
    c.expect(run.finished, run.problem);
    return run;
}

// `text` as a JSON string literal, as qvinst writes it.
std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        if (ch == '"' || ch == '\\') out += '\\';
        out += ch;
    }
    return out + "\"";
}

void expect_has(checks& c, const std::string& text, const std::string& part) {
    c.expect(text.find(part) != std::string::npos, part + " not in " + text);
}

// The package's INF with its models under `decorations` only, one section
// each.
std::string decorated_inf(const driver_package& package, const std::vector<std::string>& decorations) {
    std::string text = driver_inf_text(package);
    const std::string manufacturer = "%Provider%=Models\r\n";
    const std::string models = "[Models]\r\n";
    const std::size_t at = text.find(models);
    const std::size_t end = text.find("\r\n\r\n", at);
    const std::string lines = text.substr(at + models.size(), end + 2 - at - models.size());
    std::string listed = "%Provider%=Models";
    std::string sections;
    for (const std::string& d : decorations) {
        listed += "," + d;
        sections += "[Models." + d + "]\r\n" + lines;
    }
    text.replace(at, end + 2 - at, sections);
    text.replace(text.find(manufacturer), manufacturer.size(), listed + "\r\n");
    return text;
}

// The decoration of the architecture the installation uses, and those of
// the others: under WOW64 the 32-bit qvinst hands drivers over to the
// native x64 one and the helper installs, so there it is NTamd64.
std::string this_architecture(const run_context& ctx) {
#if defined(__aarch64__)
    static_cast<void>(ctx);
    return "NTarm64";
#else
    return ctx.installer_bits == 64 ? "NTamd64" : "NTx86";
#endif
}

std::vector<std::string> other_architectures(const run_context& ctx) {
    std::vector<std::string> others;
    for (const char* decoration : {"NTx86", "NTamd64", "NTarm64"})
        if (decoration != this_architecture(ctx)) others.emplace_back(decoration);
    return others;
}

struct drivers_case {
    const char* name;
    const char* file;      // written with `contents`; null: no file
    std::string contents;
    const char* compact_id;
    unsigned long exit_code;
    const char* reason;    // the JSON value, quoted, or null
};

}  // namespace

void run_qvinst_diagnosis_cases(run_context& ctx) {
    const driver_package package{device_ids[1], "Quorvant diagnosis device", "04/01/2024,1.0.0.0",
                                 "diagnosis"};
    const driver_package other_model{"QVDIAG\\OTHER_MODEL"};
    const drivers_case cases[] = {
        {"a selected driver, marked", "diag-good.inf", driver_inf_text(package), device_compact_id,
         exit_selected, "null"},
        {"missing INF is inf_missing", nullptr, {}, device_compact_id, exit_no_driver,
         "\"inf_missing\""},
        {"text without [Version] is not_an_inf", "diag-text.inf", "just text\r\nno sections\r\n",
         device_compact_id, exit_no_driver, "\"not_an_inf\""},
        {"other model ID is no_matching_model", "diag-other.inf", driver_inf_text(other_model),
         device_compact_id, exit_no_driver, "\"no_matching_model\""},
        {"models for this architecture only, selected", "diag-this-arch.inf",
         decorated_inf(package, {this_architecture(ctx)}), device_compact_id, exit_selected, "null"},
        {"models for the other architectures only are other_architecture", "diag-other-arch.inf",
         decorated_inf(package, other_architectures(ctx)), device_compact_id, exit_no_driver,
         "\"other_architecture\""},
        {"models for a later Windows are other_os_version", "diag-later.inf",
         decorated_inf(package, {"NTx86.99.0", "NTamd64.99.0", "NTarm64.99.0"}), device_compact_id,
         exit_no_driver, "\"other_os_version\""},
        {"no matching device is no_device", "diag-good.inf", driver_inf_text(package),
         absent_compact_id, exit_no_device, "\"no_device\""},
    };

    checks setup;
    auto device = make_device(setup, device_ids);
    if (!device || !use_newdev(setup, ctx, newdev_kind::substitute)) {
        ctx.log.record("qvinst diagnosis: device and NEWDEV", setup);
        return;
    }
    for (const drivers_case& row : cases) {
        checks c;
        const std::string inf = ctx.folder + (row.file ? row.file : "diag-absent.inf");
        if (row.file) write_file(inf, row.contents);
        const child_outcome run = run_qvinst(c, ctx, {"--json", "drivers", inf, row.compact_id});
        if (run.finished) {
            c.expect_equal("exit code", run.exit_status, row.exit_code);
            expect_has(c, run.out, std::string("\"reason\":") + row.reason);
            const bool found = row.exit_code != exit_no_device;
            expect_has(c, run.out, "\"device\":" + (found ? json_string(device->instance_id())
                                                          : std::string("null")));
            if (row.exit_code == exit_selected) {
                expect_has(c, run.out, "\"section\":\"Device_Install\"");
                expect_has(c, run.out, "\"selected\":true");
            }
            if (std::string(row.reason) == "\"no_matching_model\"") {
                expect_has(c, run.out, json_string(other_model.hardware_id));
            }
        }
        c.expect(!newdev_loaded(), "NEWDEV loaded in the runner");
        expect_no_driver(c, device->instance_id());
        ctx.log.record(std::string("qvinst drivers: ") + row.name, c);
    }

    checks c;
    const std::string inf = write_inf(ctx, "diag-install.inf", package);
    steer_substitute({newdev_protocol::install_action});
    const child_outcome run =
        run_qvinst(c, ctx, {"--json", "--explain", "install", inf, device_compact_id});
    if (run.finished) {
        c.expect_equal("exit code", run.exit_status, exit_selected);
        std::size_t at = 0;
        for (const char* step :
             {"device chosen", "set created", "device opened", "device made the set's selected device",
              "install parameters read", "search limited to the INF", "driver list built",
              "class installer run", "driver selected", "system directory read", "NEWDEV loaded",
              "installer entry point found", "installer called", "NEWDEV freed", "set destroyed"}) {
            const std::string entry = "{\"step\":\"" + std::string(step) + "\",\"ok\":true";
            const std::size_t found = run.out.find(entry, at);
            c.expect(found != std::string::npos, entry + " not in order in " + run.out);
            if (found != std::string::npos) at = found;
        }
        expect_has(c, run.out, "\"detail\":\"1 candidate\"");
        expect_has(c, run.out, "\"result\":1,");
        expect_driver(c, device->instance_id(), package);
    }
    ctx.log.record("qvinst install --explain: every step of a real installation", c);
}

}  // namespace e2e
