// qv_e2e: the end-to-end runner. Loads QUORVANT.dll like a setup program,
// drives it against virtual devices, INF files and NEWDEV substitutes in a
// throwaway Wine prefix, prints one line per case and the closing
// "N passed, M failed" line. Exit code 0 when every case passed.
//
//   qv_e2e LIBRARY NEWDEV_SUBSTITUTE NEWDEV_WITHOUT_ENTRY [--setup SETUP_EXE]
//          [--setup-without-export SETUP_EXE] [--qvinst QVINST_EXE] [--msi MSI [--msi-upgrade MSI]]
//          [GROUP...]
//
// The paths are Windows paths; QVINST_EXE stands beside a copy of LIBRARY
// named QUORVANT.dll. The setup programs are built from a template in
// installer/ (the second one from a release whose library lacks the
// export), the MSI from installer/driver-setup.wxs for the runner's
// architecture (the upgrade MSI: the same as a later version, which the
// msi group's upgrade case needs). Without GROUP every group runs, but the setup group only
// with --setup, the msi group only with --msi, the qvinst and diagnosis
// groups only with --qvinst, the wow64 group only with --native-substitute;
// naming one without its path, or a name that is no group's, is a usage
// error. The wow64-dbcs group (in code page 932, which Wine takes from
// LC_ALL=ja_JP.UTF-8) runs only when named.
// With --32bit-needed only the chosen groups that show what a 32-bit process
// alone can (its calling convention, the records it hands the system, the
// 32-bit setup program, the bridge to the 64-bit helper, every result code
// once) run; the others prove the same source natively from a 64-bit
// runner, and the x86 machine of a host without 32-bit programs is slow.
//
// A 32-bit runner on 64-bit Windows, testing the 32-bit library with its
// 64-bit helper beside it, names the 64-bit substitutes with
// --native-substitute and --native-without-entry: every NEWDEV switch then
// serves the helper's process too, and the substitute reports through a file.
// An ARM64 runner testing the bridge caller (bridge_caller.cpp) with
// QUORVANTA64.exe beside it names its own substitutes there: the helper's
// process is native, as the runner is.
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

enum group_flag : unsigned {
    only_named = 1,   // runs only when named (it needs a code page of its own)
    needs_32bit = 2,  // shows what a 32-bit process alone can: kept by --32bit-needed
};

struct group {
    const char* name;
    void (*run)(e2e::run_context&);
    const char* needs = nullptr;  // the option naming a path the group cannot run without
    unsigned flags = 0;
};

const group groups[] = {
    {"arguments", e2e::run_argument_cases, nullptr, needs_32bit},
    {"installer", e2e::run_installer_cases, nullptr, needs_32bit},
    {"selection", e2e::run_selection_cases},
#if defined(__i386__)
    {"convention", e2e::run_calling_convention_cases, nullptr, needs_32bit},  // stdcall
#endif
    {"conversion", e2e::run_conversion_cases},
    {"faults", e2e::run_fault_cases},
    {"lifetime", e2e::run_lifetime_cases},
    {"setup", e2e::run_setup_program_cases, "--setup", needs_32bit},
    {"msi", e2e::run_msi_package_cases, "--msi"},
    {"qvinst", e2e::run_qvinst_cases, "--qvinst"},
    {"diagnosis", e2e::run_qvinst_diagnosis_cases, "--qvinst", needs_32bit},  // NTx86, handover
    {"wow64", e2e::run_wow64_cases, "--native-substitute", needs_32bit},
    {"wow64-dbcs", e2e::run_wow64_dbcs_cases, "--native-substitute", only_named | needs_32bit},
};

int usage() {
    std::fputs("usage: qv_e2e LIBRARY NEWDEV_SUBSTITUTE NEWDEV_WITHOUT_ENTRY "
               "[--setup SETUP_EXE] [--setup-without-export SETUP_EXE] "
               "[--qvinst QVINST_EXE] [--msi MSI [--msi-upgrade MSI]] [--native-substitute NEWDEV_SUBSTITUTE_64 "
               "--native-without-entry NEWDEV_WITHOUT_ENTRY_64] [--32bit-needed] [GROUP...]\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 3) return usage();
    std::map<std::string, std::string> paths = {
        {"--setup", {}}, {"--setup-without-export", {}}, {"--qvinst", {}}, {"--msi", {}}, {"--msi-upgrade", {}},
        {"--native-substitute", {}}, {"--native-without-entry", {}}};
    std::vector<std::string> chosen;
    bool only_32bit_needed = false;
    for (std::size_t i = 3; i < args.size(); ++i) {
        if (args[i] == "--32bit-needed") {
            only_32bit_needed = true;
        } else if (paths.count(args[i]) != 0 && i + 1 < args.size()) {
            paths[args[i]] = args[i + 1];
            ++i;
        } else {
            chosen.push_back(args[i]);
        }
    }
    auto named = [&](const group& g) {
        for (const auto& name : chosen) {
            if (name == g.name) return true;
        }
        return false;
    };
    auto missing_path = [&](const group& g) { return g.needs != nullptr && paths[g.needs].empty(); };
    // A group that cannot run or a name that is no group's is an error, not
    // a run with fewer cases.
    for (const auto& name : chosen) {
        bool known = false;
        for (const auto& g : groups) known = known || name == g.name;
        if (!known) return usage();
    }
    for (const auto& g : groups) {
        if (named(g) && missing_path(g)) return usage();
    }
    const e2e::native_substitutes native{paths["--native-substitute"], paths["--native-without-entry"]};
    if (native.substitute_path.empty() != native.without_entry_path.empty()) return usage();
    auto wanted = [&](const group& g) {
        return !missing_path(g) && (chosen.empty() ? (g.flags & only_named) == 0 : named(g)) &&
               (!only_32bit_needed || (g.flags & needs_32bit) != 0);
    };
    if (only_32bit_needed) {
        std::string left;
        for (const auto& g : groups) {
            if ((g.flags & needs_32bit) == 0) left += std::string(" ") + g.name;
        }
        std::printf("only the groups a 32-bit process is needed for; left to a 64-bit runner:%s\n",
                    left.c_str());
    }

    const auto started = std::chrono::steady_clock::now();
    e2e::case_log log;
    e2e::quorvant_library library(args[0]);
    {
        e2e::checks c;
        c.expect(library.loaded(), library.error());
        c.note(args[0]);
        log.record(std::string("load: LoadLibraryA and GetProcAddress(\"") + e2e::export_name +
                       "\")",
                   c);
    }
    if (library.loaded()) {
        e2e::newdev_switch newdev(args[1], args[2], native);
        e2e::run_context ctx{library,
                             newdev,
                             log,
                             e2e::work_folder(),
                             paths["--setup"],
                             paths["--setup-without-export"],
                             paths["--qvinst"],
                             8 * static_cast<int>(sizeof(void*)),
                             paths["--msi"],
                             paths["--msi-upgrade"]};
        if (!native.substitute_path.empty()) {
            // The 64-bit helper installs: the substitute reports from its
            // process through a file.
            const std::string report = ctx.folder + "newdev-report.txt";
            DeleteFileA(report.c_str());
            SetEnvironmentVariableA(newdev_protocol::report_file_variable, report.c_str());
            ctx.installer_bits = 64;
        }
        for (const auto& g : groups) {
            if (wanted(g)) g.run(ctx);
        }
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    std::printf("run time: %ld s\n", static_cast<long>(seconds.count()));
    log.print_total();
    return log.failed() == 0 ? 0 : 1;
}
