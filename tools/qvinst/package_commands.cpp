// stage and remove: the library's own staging and removal of driver
// packages (install/driver_package), reported as text or JSON.
#include "install/driver_package.h"
#include "tools/qvinst/commands.h"
#include "tools/qvinst/install_reports.h"
#include "tools/qvinst/json.h"

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

command_result reported(const package_report& what, const outcome& end, bool json) {
    const driver_package::result_row& row = driver_package::describe(end.what);
    std::optional<platform_error> error;
    if (end.error != 0) error = describe_platform_error(end.error);
    report r;
    r.field(what.operand_key, what.operand_key, what.operand);
    r.json.key("published_name").string_or_null(end.name.view());
    r.line("published name", or_dash(end.name.view()));
    if (what.counts_devices) {
        r.json.key("devices_removed").number(end.devices_removed);
        r.line("devices whose driver was removed", std::to_string(end.devices_removed));
    }
    r.json.key("result").string(row.name).key("meaning").string(row.meaning);
    r.json.key("exit_status").number(row.exit_status);
    write_error(r.json, error);
    r.line("result", std::string(row.name) + ": " + std::string(row.meaning));
    if (error) r.line("error", error_line(*error));
    return {r.output(json), {}, row.exit_status};
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
    return reported({"inf", inf, false}, end, call.json);
}

command_result run_remove(const invocation& call) {
    const std::string& package = call.operands.at(0);
    const outcome end = run_as_administrator() ? driver_package::remove(package.c_str())
                                               : refused_without_administrator();
    return reported({"package", package, true}, end, call.json);
}

}  // namespace qvinst
