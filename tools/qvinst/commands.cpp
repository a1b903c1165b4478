// The command table, the command line and the help; id, and the host's
// --version.
#include "tools/qvinst/commands.h"

#include "idconv/id_conv.h"
#include "install/package_results.h"
#include "tools/qvinst/json.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace qvinst {
namespace {

// The host build has no handler for a command that needs Windows.
#if defined(_WIN32)
#define QV_HANDLER_windows(handler) handler
#else
#define QV_HANDLER_windows(handler) nullptr
#endif
#define QV_HANDLER_anywhere(handler) handler
#define QV_HANDLER_native QV_HANDLER_windows
#define QV_HANDLER_native_explained QV_HANDLER_windows
#define QV_HANDLER_native_package QV_HANDLER_windows

constexpr command_row command_rows[] = {
#define QV_COMMAND(name, least, most, operands, synopsis, help, handler, where) \
    {#name, least, most, operands, synopsis, help, QV_HANDLER_##where(handler), runs::where},
#include "tools/qvinst/commands.def"
};

// Every failure of the library stands apart from qvinst's own statuses, also
// to a shell that sees only the low 8 bits.
constexpr bool failures_stand_apart() {
    for (const result_codes::row& r : result_codes::table) {
        for (const int own : {exit_success, exit_trouble, exit_usage, exit_no_compact_id,
                              exit_no_native_qvinst, exit_unknown_result}) {
            if (r.value < 0 && (r.exit_status == own || r.exit_status > 0xFF)) return false;
        }
    }
    return true;
}
static_assert(failures_stand_apart());

constexpr std::size_t help_column = 11;  // where each command's help starts

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

#if !defined(_WIN32)
// What the host build says of the commands it lacks.
std::string host_note() {
    std::string names;
    auto left = std::count_if(std::begin(command_rows), std::end(command_rows),
                              [](const command_row& c) { return !c.run; });
    for (const command_row& c : command_rows) {
        if (!c.run && left--) names += std::string(c.name) + (left > 1 ? ", " : left ? " and " : "");
    }
    return "\nThis build runs outside Windows and offers id only (and --help, --version).\n" +
           names + " need Windows, the Setup API and QUORVANT.dll:\nhere they say so and end "
                   "with exit status 2.\n";
}
#endif

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
    out += status_line(describe_result(QV7_E_NO_DEVICE).exit_status,
                       "find, drivers: the library would choose no device");
    out += status_line(describe_result(QV7_E_NO_DRIVER).exit_status,
                       "drivers: no driver would be selected");
    out += "  install ends with the status of the library's result code:\n";
    for (const result_codes::row& row : result_codes::table) {
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

result_codes::row describe_result(int code) {
    if (const result_codes::row* row = result_codes::find(code)) return *row;
    return {code, "UNKNOWN", "not a result code of QUORVANT.dll", exit_unknown_result};
}

bool parse_command_line(int argc, const char* const* argv, invocation& out, std::string& error) {
    bool help = false;
    bool version = false;
    bool options_ended = false;
    out = invocation{};
    std::vector<std::string> words;  // the command name and its operands
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (options_ended || arg.size() < 2 || arg.front() != '-') {
            words.emplace_back(arg);
        } else if (arg == "--") {
            options_ended = true;
        } else if (arg == "--json") {
            out.json = true;
        } else if (arg == "--explain") {
            out.explain = true;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else {
            error = "unknown option '" + std::string(arg) + "'";
            return false;
        }
    }
    const auto fail = [&error](std::string reason) {
        error = std::move(reason);
        return false;
    };
    if (help) {  // --help wins over everything else on the line
        out = invocation{};
        out.run = run_help;
        return true;
    }
    if (version) {
        out.run = run_version;
        return (words.empty() && !out.json && !out.explain) ||
               fail("--version takes no command and no other option");
    }
    if (words.empty()) return fail("no command given");
    const auto row = std::find_if(std::begin(command_rows), std::end(command_rows),
                                  [&](const command_row& c) { return c.name == words.front(); });
    if (row == std::end(command_rows)) return fail("unknown command '" + words.front() + "'");
    const std::size_t operands = words.size() - 1;
    if (operands < row->min_operands || operands > row->max_operands) {
        return fail(std::string(row->name) + " takes " + std::string(row->operands_text));
    }
    if (out.explain && row->where != runs::native_explained) {
        return fail("--explain goes with install only");
    }
    out.command = row;
    out.run = row->run;
    out.operands.assign(words.begin() + 1, words.end());
    return true;
}

bool runs_natively(const invocation& call) {
    return call.command && (call.command->where == runs::native ||
                            call.command->where == runs::native_package ||
                            (call.command->where == runs::native_explained && call.explain));
}

std::string usage_text() { return synopsis() + "Try 'qvinst --help' for more.\n"; }

command_result run_help(const invocation&) {
    std::string out = "qvinst " QVINST_VERSION
                      ": finds compact IDs, shows which device QUORVANT.dll would pick,\n"
                      "and installs a driver through it.\n\n";
    out += synopsis() + "\n" + command_paragraphs() + "\n" + std::string(options) + "\n" +
           exit_status_table();
#if !defined(_WIN32)
    out += host_note();
#endif
    return {out, {}, exit_success};
}

// The library's own conversion of each text, in the order given.
command_result run_id(const invocation& call) {
    command_result result;
    report r;
    r.json.key("ids").begin_array();
    for (const std::string& text : call.operands) {
        const std::string compact_id(idconv::build_compact_id(text));
        result.status = compact_id.empty() ? exit_no_compact_id : result.status;
        r.begin_record("").json.key("hardware_id").string(text);
        r.cell("compact_id", compact_id).end_record();
    }
    r.json.end_array();
    result.out = r.output(call.json);
    return result;
}

#if !defined(_WIN32)
command_result run_version(const invocation&) {
    return {"qvinst " QVINST_VERSION " (host build: id only)\n", {}, exit_success};
}
#endif

}  // namespace qvinst
