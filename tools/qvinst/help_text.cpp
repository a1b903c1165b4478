// qvinst's help, usage and version texts.
#include "tools/qvinst/help_text.h"

#include "install/package_results.h"
#include "tools/qvinst/command_line.h"
#include "tools/qvinst/result_codes.h"

#include <algorithm>
#include <cstdio>

namespace qvinst {
namespace {

// Where the help of each command starts on its lines.
constexpr std::size_t help_column = 11;

constexpr std::string_view options =
    "Options:\n"
    "  --json     One JSON object on one line instead of text (every command),\n"
    "             in pure ASCII: a byte from 0x7F up is written as the\n"
    "             escape \\u007f to \\u00ff of the same value, so encoding the text\n"
    "             as Latin-1 gives the bytes back.\n"
    "  --explain  install: installs, and shows every step (see install).\n"
    "  --help     This text.\n"
    "  --version  qvinst's version and that of the QUORVANT.dll next to it.\n"
    "  --         Ends the options: every later argument is an operand.\n";

std::string synopsis() {
    std::string out;
    for (const command_row& c : command_rows) {
        out += out.empty() ? "usage: qvinst " : "       qvinst ";
        out += std::string(c.synopsis) + "\n";
    }
    return out + "       qvinst --help | --version\n";
}

// Each command's help, its lines indented to the help column.
std::string command_paragraphs() {
    std::string out = "Commands:\n";
    for (const command_row& c : command_rows) {
        std::string line = "  " + std::string(c.name);
        for (std::size_t start = 0; start <= c.help.size();) {
            const std::size_t end = std::min(c.help.find('\n', start), c.help.size());
            line.resize(help_column, ' ');
            out += line + std::string(c.help.substr(start, end - start)) + "\n";
            line.clear();
            start = end + 1;
        }
    }
    return out;
}

// What the host build says of the commands it does not offer.
std::string host_note() {
    std::string names;
    std::size_t left = 0;
    for (const command_row& c : command_rows) {
        left += c.windows_only ? 1 : 0;
    }
    for (const command_row& c : command_rows) {
        if (c.windows_only) {
            --left;
            names += std::string(c.name) + (left > 1 ? ", " : left == 1 ? " and " : "");
        }
    }
    return "\nThis build runs outside Windows and offers id only (and --help, --version).\n" +
           names + " need Windows, the Setup API and QUORVANT.dll:\nhere they say so and end "
                   "with exit status 2.\n";
}

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
    out += status_line(exit_no_native_qvinst,
                       "drivers, install --explain, stage, remove: on 64-bit Windows the\n"
                       "        native qvinst (x64\\qvinst.exe beside qvinst.exe) cannot be started");
    out += status_line(describe_result(-1).exit_status,
                       "find, drivers: the library would choose no device");
    out += status_line(describe_result(-2).exit_status, "drivers: no driver would be selected");
    out += "  install ends with the status of the library's result code:\n";
    for (const result_code_info& row : result_codes::table) {
        out += status_line(row.exit_status,
                           "result " + std::to_string(row.value) + " " + std::string(row.name));
    }
    out += status_line(exit_unknown_result, "any other result code");
    out += "  stage and remove end with the status of their result:\n";
    for (const auto& row : driver_package::result_rows) {
        std::string names;
        bool first_of_status = true;
        for (const auto& other : driver_package::result_rows) {
            if (other.exit_status != row.exit_status) continue;
            first_of_status = first_of_status && &other >= &row;
            names += (names.empty() ? "" : ", ") + std::string(other.name);
        }
        if (first_of_status) out += status_line(row.exit_status, names);
    }
    return out;
}

}  // namespace

std::string_view qvinst_version() { return QVINST_VERSION; }

std::string help_text(build_kind build) {
    std::string out = "qvinst " + std::string(qvinst_version()) +
                      ": finds compact IDs, shows which device QUORVANT.dll would pick,\n"
                      "and installs a driver through it.\n\n";
    out += synopsis();
    out += "\n";
    out += command_paragraphs();
    out += "\n";
    out += options;
    out += "\n";
    out += exit_status_table();
    if (build == build_kind::host) {
        out += host_note();
    }
    return out;
}

std::string usage_text() {
    return synopsis() + "Try 'qvinst --help' for more.\n";
}

std::string needs_windows_text(std::string_view command) {
    return "qvinst: " + std::string(command) +
           " needs Windows (the Setup API and QUORVANT.dll); this build offers id only\n";
}

}  // namespace qvinst
