// qvinst: finds compact IDs, shows which present device QUORVANT.dll would
// pick, and installs a driver through it. The host build offers id only.
#include "tools/qvinst/commands.h"

#include <cstdio>
#include <new>

namespace {

using namespace qvinst;

bool write_all(std::FILE* stream, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
           std::fflush(stream) == 0;
}

command_result run(const invocation& call) {
    if (runs_natively(call)) {
        if (std::optional<command_result> native = run_native_qvinst(call)) return *native;
    }
    if (call.run) return call.run(call);
    return {{}, "qvinst: " + std::string(call.command->name) +
                    " needs Windows (the Setup API and QUORVANT.dll); this build offers id only\n",
            exit_usage};
}

}  // namespace

#if !defined(_WIN32)
std::optional<command_result> qvinst::run_native_qvinst(const invocation&) { return std::nullopt; }
#endif

bool qvinst::write_out(const std::string& text) { return write_all(stdout, text); }

int main(int argc, char** argv) {
    try {
        invocation call;
        std::string error;
        if (!parse_command_line(argc, argv, call, error)) {
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
