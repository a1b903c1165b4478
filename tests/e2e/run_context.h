// What every group of end-to-end cases works with, and the small steps the
// groups share.
#pragma once

#include "tests/e2e/case_log.h"
#include "tests/e2e/inf_files.h"
#include "tests/e2e/newdev_switch.h"
#include "tests/e2e/quorvant_library.h"
#include "tests/e2e/result_codes.h"
#include "tests/e2e/virtual_devices.h"

#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct run_context {
    quorvant_library& library;
    newdev_switch& newdev;
    case_log& log;
    std::string folder;                // where the run's INF files go
    std::string setup;                 // a driver setup program built from a template, or empty
    std::string setup_without_export;  // one built from a library without the export, or empty
    std::string qvinst;                // qvinst.exe beside the library under test, or empty
    int installer_bits;                // of the process that calls NEWDEV: 64 when the helper installs
    std::string msi;                   // a driver setup MSI built from installer/driver-setup.wxs, or empty
    std::string msi_upgrade;           // the same MSI as a later version (one UpgradeCode), or empty
};

// Writes an INF for `package` as `file_name` in the run's folder; returns its path.
std::string write_inf(const run_context& ctx, const std::string& file_name,
                      const driver_package& package);

// Creates a present device; on failure notes why in `c`.
std::optional<virtual_device> make_device(checks& c, const std::vector<std::string>& ids);

// Puts the wanted NEWDEV in place; on failure notes why in `c`.
bool use_newdev(checks& c, const run_context& ctx, newdev_kind kind);

// Whether a module named newdev.dll is loaded in this process.
bool newdev_loaded();

// Windows paths compared without regard to letter case.
bool same_path(const std::string& a, const std::string& b);

// Expects that the device exists and has no driver bound.
void expect_no_driver(checks& c, const std::string& instance_id);

// Expects that the device has the driver of `package` bound.
void expect_driver(checks& c, const std::string& instance_id, const driver_package& package);

// Expects that the substitute was called once more than `calls_before`,
// with the set, device, INF and arguments the library should hand over.
void expect_handover(checks& c, const run_context& ctx, unsigned long calls_before,
                     const std::string& instance_id, const std::string& inf_path);

// The groups, each in a file of its own.
void run_argument_cases(run_context& ctx);
void run_installer_cases(run_context& ctx);
void run_selection_cases(run_context& ctx);
void run_calling_convention_cases(run_context& ctx);
void run_conversion_cases(run_context& ctx);
void run_fault_cases(run_context& ctx);
void run_lifetime_cases(run_context& ctx);
void run_setup_program_cases(run_context& ctx);
void run_msi_package_cases(run_context& ctx);
void run_qvinst_cases(run_context& ctx);
// stage and remove through the 32-bit qvinst under WOW64, which hands them
// to the native one, with System32 and Sysnative INF paths (the wow64
// group; the qvinst group runs the same cases natively).
void run_qvinst_package_cases(run_context& ctx);
void run_qvinst_diagnosis_cases(run_context& ctx);
void run_wow64_cases(run_context& ctx);
void run_wow64_dbcs_cases(run_context& ctx);

}  // namespace e2e
