// qvinst's help, usage and version texts.
#include "tools/qvinst/help_text.h"

#include "tools/qvinst/result_codes.h"

#include <cstdio>

namespace qvinst {
namespace {

constexpr std::string_view synopsis =
    "usage: qvinst [--json] list\n"
    "       qvinst [--json] id HARDWARE-ID...\n"
    "       qvinst [--json] find COMPACT-ID\n"
    "       qvinst [--json] [--explain] install INF COMPACT-ID\n"
    "       qvinst [--json] drivers INF COMPACT-ID\n"
    "       qvinst --help | --version\n";

constexpr std::string_view commands_and_options =
    "Commands:\n"
    "  list     Every present device in enumeration order: instance ID, first\n"
    "           hardware ID and compact ID, separated by tabs (\"-\" for none).\n"
    "  id       The compact ID of each hardware-ID text, one per line (\"-\" for\n"
    "           none).\n"
    "  find     Every present device whose compact ID matches COMPACT-ID, in\n"
    "           enumeration order. \"*\" marks the one the library would choose:\n"
    "           the last match, or none when that match's instance ID cannot be\n"
    "           read. Names the rule that decided: the first 19 characters for a\n"
    "           wanted ID that begins with \"PCI\", the whole text otherwise.\n"
    "  install  Installs the driver from INF onto the device COMPACT-ID names,\n"
    "           through qv7_installdevice of the QUORVANT.dll next to qvinst.exe,\n"
    "           and prints the result code, its name and its meaning. With\n"
    "           --explain it runs the library's own installation routine inside\n"
    "           qvinst instead and prints each step as it ends, a failed step with\n"
    "           the platform's error by name and text.\n"
    "  drivers  Picks the device as find does, limits the driver search to INF\n"
    "           as the library does and lists the device's IDs and every\n"
    "           compatible driver; \"*\" marks the one the class installer\n"
    "           selects. Installs nothing. When none is selected, says why:\n"
    "           no_device, inf_missing, not_an_inf, no_matching_model (with the\n"
    "           INF's model IDs), other_architecture or class_installer_declined.\n"
    "\n"
    "Options:\n"
    "  --json     One JSON object on one line instead of text (every command),\n"
    "             in pure ASCII: a byte from 0x7F up is written as the\n"
    "             escape \\u007f to \\u00ff of the same value, so encoding the text\n"
    "             as Latin-1 gives the bytes back.\n"
    "  --explain  install: every step of the installation (see install).\n"
    "  --help     This text.\n"
    "  --version  qvinst's version and that of the QUORVANT.dll next to it.\n"
    "  --         Ends the options: every later argument is an operand.\n";

constexpr std::string_view host_note =
    "\n"
    "This build runs outside Windows and offers id only (and --help, --version).\n"
    "list, find and install need Windows, the Setup API and QUORVANT.dll: here\n"
    "they say so and end with exit status 2.\n";

std::string status_line(int status, std::string_view text) {
    char number[16];
    std::snprintf(number, sizeof number, "  %-6d", status);
    return number + std::string(text) + "\n";
}

std::string exit_status_table() {
    std::string out = "Exit status:\n";
    out += status_line(exit_success, "done (id, list, find; drivers: a driver is selected)");
    out += status_line(exit_trouble,
                       "qvinst could not do its work: QUORVANT.dll missing next to qvinst.exe "
                       "or\n        without qv7_installdevice, out of memory, output not written");
    out += status_line(exit_usage, "bad arguments");
    out += status_line(exit_no_compact_id, "id: at least one text has no compact ID");
    out += status_line(describe_result(-1).exit_status,
                       "find, drivers: the library would choose no device");
    out += status_line(describe_result(-2).exit_status, "drivers: no driver would be selected");
    out += "  install ends with the status of the library's result code:\n";
    for (auto* row = result_codes_begin(); row != result_codes_end(); ++row) {
        out += status_line(row->exit_status,
                           "result " + std::to_string(row->code) + " " + std::string(row->name));
    }
    out += status_line(exit_unknown_result, "any other result code");
    return out;
}

}  // namespace

std::string_view qvinst_version() { return QVINST_VERSION; }

std::string help_text(build_kind build) {
    std::string out = "qvinst " + std::string(qvinst_version()) +
                      ": finds compact IDs, shows which device QUORVANT.dll would pick,\n"
                      "and installs a driver through it.\n\n";
    out += synopsis;
    out += "\n";
    out += commands_and_options;
    out += "\n";
    out += exit_status_table();
    if (build == build_kind::host) {
        out += host_note;
    }
    return out;
}

std::string usage_text() {
    return std::string(synopsis) + "Try 'qvinst --help' for more.\n";
}

std::string needs_windows_text(std::string_view command) {
    return "qvinst: " + std::string(command) +
           " needs Windows (the Setup API and QUORVANT.dll); this build offers id only\n";
}

}  // namespace qvinst
