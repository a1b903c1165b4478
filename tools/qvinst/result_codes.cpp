// The table of result codes, built on the values of quorvant.h.
#include "tools/qvinst/result_codes.h"

#include "include/quorvant.h"

#include <iterator>

namespace qvinst {
namespace {

// A failure code -N ends qvinst with 10 + N.
constexpr int failure_exit(int code) { return 10 - code; }

constexpr result_code_info result_table[] = {
    {QV7_INSTALLED_NEEDS_RESTART, "QV7_INSTALLED_NEEDS_RESTART",
     "driver installed; the installer asked for a restart (DI_NEEDRESTART)", exit_reboot_needed},
    {QV7_INSTALLED_NEEDS_REBOOT, "QV7_INSTALLED_NEEDS_REBOOT",
     "driver installed; the installer asked for a reboot (DI_NEEDREBOOT)", exit_reboot_needed},
    {QV7_INSTALLED, "QV7_INSTALLED", "driver installed; no restart or reboot needed",
     exit_success},
    {QV7_E_NO_DEVICE, "QV7_E_NO_DEVICE",
     "no present device matches the compact ID (or the instance ID of the last match cannot be "
     "read)",
     failure_exit(QV7_E_NO_DEVICE)},
    {QV7_E_NO_DRIVER, "QV7_E_NO_DRIVER",
     "no driver selected for the device: the INF is missing, unreadable or holds no compatible "
     "driver, or the device could not be opened",
     failure_exit(QV7_E_NO_DRIVER)},
    {QV7_E_INSTALL_FAILED, "QV7_E_INSTALL_FAILED", "InstallSelectedDriver failed",
     failure_exit(QV7_E_INSTALL_FAILED)},
    {QV7_E_NO_INF_PATH, "QV7_E_NO_INF_PATH", "the INF path is empty; nothing was done",
     failure_exit(QV7_E_NO_INF_PATH)},
    {QV7_E_NO_NEWDEV, "QV7_E_NO_NEWDEV",
     "NEWDEV.DLL could not be loaded from the system directory", failure_exit(QV7_E_NO_NEWDEV)},
    {QV7_E_NOT_NT_DRIVER, "QV7_E_NOT_NT_DRIVER",
     "InstallSelectedDriver failed with ERROR_NON_WINDOWS_NT_DRIVER (0xE000022D)",
     failure_exit(QV7_E_NOT_NT_DRIVER)},
    {QV7_E_NO_ENTRY_POINT, "QV7_E_NO_ENTRY_POINT",
     "NEWDEV.DLL has no entry point InstallSelectedDriver", failure_exit(QV7_E_NO_ENTRY_POINT)},
    {QV7_E_OUT_OF_MEMORY, "QV7_E_OUT_OF_MEMORY",
     "the library ran out of memory (or failed inside); nothing more was done",
     failure_exit(QV7_E_OUT_OF_MEMORY)},
};

}  // namespace

const result_code_info* result_codes_begin() { return std::begin(result_table); }
const result_code_info* result_codes_end() { return std::end(result_table); }

result_code_info describe_result(int code) {
    for (const result_code_info& row : result_table) {
        if (row.code == code) {
            return row;
        }
    }
    return {code, "UNKNOWN", "not a result code of QUORVANT.dll", exit_unknown_result};
}

}  // namespace qvinst
