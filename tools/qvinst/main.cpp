// qvinst: finds compact IDs, shows which present device QUORVANT.dll would
// pick, and installs a driver through it. The host build offers id only.
#include "tools/qvinst/command_line.h"
#include "tools/qvinst/command_result.h"
#include "tools/qvinst/help_text.h"
#include "tools/qvinst/id_report.h"
#include "tools/qvinst/result_codes.h"

#if defined(_WIN32)
#include "tools/qvinst/device_commands.h"
#endif

#include <cstdio>
#include <new>
#include <optional>
#include <string>

namespace {

using namespace qvinst;

#if defined(_WIN32)
constexpr build_kind this_build = build_kind::windows;
#else
constexpr build_kind this_build = build_kind::host;
#endif

command_result run_id(const invocation& call) {
    const std::vector<id_row> rows = convert_hardware_ids(call.operands);
    return {call.json ? id_json(rows) : id_text(rows), {}, id_exit_status(rows)};
}

#if !defined(_WIN32)
command_result run_needs_windows(const invocation& call) {
    return {{}, needs_windows_text(command_name(call.what)), exit_usage};
}

command_result run_version() {
    return {"qvinst " + std::string(qvinst_version()) + " (host build: id only)\n", {},
            exit_success};
}
#endif

struct command_handler {
    command what;
    command_result (*run)(const invocation& call);
};

constexpr command_handler handlers[] = {
#define QV_COMMAND(name, least, most, operands, synopsis, help, handler) {command::name, handler},
#if !defined(_WIN32)
#define QV_WINDOWS_COMMAND(name, least, most, operands, synopsis, help, handler) \
    {command::name, run_needs_windows},
#endif
#include "tools/qvinst/commands.def"
};

command_result run(const invocation& call) {
#if defined(_WIN32)
    // What a driver search finds depends on the process's architecture;
    // driver packages are staged and removed natively.
    const bool package_call = call.what == command::stage || call.what == command::remove;
    if (package_call || call.what == command::drivers ||
        (call.what == command::install && call.explain)) {
        if (std::optional<command_result> native = run_native_qvinst(package_call ? &call : nullptr)) {
            return *native;
        }
    }
#endif
    if (call.what == command::help) {
        return {help_text(this_build), {}, exit_success};
    }
    if (call.what == command::version) {
        return run_version();
    }
    for (const command_handler& handler : handlers) {
        if (handler.what == call.what) {
            return handler.run(call);
        }
    }
    return {{}, "qvinst: unknown command\n", exit_usage};
}

bool write_all(std::FILE* stream, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
           std::fflush(stream) == 0;
}

}  // namespace

bool qvinst::write_out(const std::string& text) { return write_all(stdout, text); }

int main(int argc, char** argv) {
    try {
        invocation call;
        std::string error;
        if (!qvinst::parse_command_line(argc, argv, call, error)) {
            write_all(stderr, "qvinst: " + error + "\n" + usage_text());
            return exit_usage;
        }
        const command_result result = run(call);
        const bool written = write_out(result.out);
        write_all(stderr, result.err);
        if (!written) {
            std::fputs("qvinst: cannot write the output\n", stderr);
            return exit_trouble;
        }
        return result.status;
    } catch (const std::bad_alloc&) {
        std::fputs("qvinst: out of memory\n", stderr);
        return exit_trouble;
    }
}
