// stage and remove: the library's own staging and removal of driver
// packages (install/driver_package), reported as text or JSON.
#include "install/driver_package.h"
#include "tools/qvinst/device_commands.h"
#include "tools/qvinst/json_writer.h"
#include "tools/qvinst/platform_errors.h"
#include "tools/qvinst/report_text.h"

#include <optional>
#include <string>

namespace qvinst {
namespace {

using driver_package::outcome;
using driver_package::result;

// Whether this process runs with the Administrators group enabled in its
// token: a standard user's token, or an administrator's that is not
// elevated, has it for deny only.
bool run_as_administrator() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    const bool checked = CheckTokenMembership(nullptr, administrators, &member) != FALSE;
    FreeSid(administrators);
    return checked && member;
}

// What one command reports: its operand, under `operand_key` in JSON.
struct package_report {
    std::string_view operand_key;
    const std::string& operand;
    bool counts_devices;  // remove: the devices whose driver was removed
};

command_result report(const package_report& what, const outcome& end, bool json) {
    const driver_package::result_row& row = driver_package::describe(end.what);
    std::optional<platform_error> error;
    if (end.error != 0) {
        error = describe_platform_error(end.error);
    }
    if (json) {
        json_writer out;
        out.begin_object().key(what.operand_key).string(what.operand);
        out.key("published_name").string_or_null(end.name.view());
        if (what.counts_devices) {
            out.key("devices_removed").number(end.devices_removed);
        }
        out.key("result").string(row.name).key("meaning").string(row.meaning);
        out.key("exit_status").number(row.exit_status);
        out.key("error");
        error ? out.number(error->code) : out.null();
        out.key("error_name");
        error ? out.string(error->name) : out.null();
        out.key("error_text");
        error ? out.string(error->text) : out.null();
        out.end_object();
        return {out.line(), {}, row.exit_status};
    }
    std::string text = std::string(what.operand_key) + ": " + what.operand + "\n";
    text += "published name: " + std::string(or_dash(end.name.view())) + "\n";
    if (what.counts_devices) {
        text += "devices whose driver was removed: " + std::to_string(end.devices_removed) + "\n";
    }
    text += "result: " + std::string(row.name) + ": " + std::string(row.meaning) + "\n";
    if (error) {
        text += "error: " + error->name + " (" + error_number_text(error->code) + ")";
        text += error->text.empty() ? std::string("\n") : " " + error->text + "\n";
    }
    return {text, {}, row.exit_status};
}

// Its exit status is the platform's own error for it, ERROR_ELEVATION_REQUIRED.
outcome refused_without_administrator() {
    constexpr result refused = result::not_administrator;
    return {refused, static_cast<DWORD>(driver_package::describe(refused).exit_status), {}, 0};
}

}  // namespace

command_result run_stage(const invocation& call) {
    const std::string& inf = call.operands.at(0);
    const outcome end =
        run_as_administrator() ? driver_package::stage(inf.c_str()) : refused_without_administrator();
    return report({"inf", inf, false}, end, call.json);
}

command_result run_remove(const invocation& call) {
    const std::string& package = call.operands.at(0);
    const outcome end = run_as_administrator() ? driver_package::remove(package.c_str())
                                               : refused_without_administrator();
    return report({"package", package, true}, end, call.json);
}

}  // namespace qvinst
