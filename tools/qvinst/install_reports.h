// The output of install, install --explain and drivers, as text or JSON:
// the result code, and what the library's routine reported as it ran.
#pragma once

#include "tools/qvinst/error_names.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

class json_writer;

// "error":N,"error_name":..,"error_text":.., each null without an error.
void write_error(json_writer& json, const std::optional<platform_error>& error);

// "CODE NAME: meaning", or {"inf","compact_id","result","name","meaning","exit_status"}.
std::string install_report(std::string_view inf_path, std::string_view compact_id, int code,
                           bool json);

struct explained_step {
    std::string step;  // what was done, in words
    bool ok = true;
    std::optional<platform_error> error;  // of a failed step
    std::string detail;  // what it found or used
};
// "step: detail" or "step FAILED: NAME (number) text", one line.
std::string explained_step_text(const explained_step& step);
// The closing lines (the steps are printed as they end), or
// {"steps":[{"step","ok","error","error_name","error_text","detail"}],
//  "result","name","exit_status","log"}.
std::string explained_report(const std::vector<explained_step>& steps, int code, bool json);

// One driver of the device's compatible-driver list.
struct driver_candidate {
    std::string description;
    std::string manufacturer;
    std::string provider;
    std::string version;  // "a.b.c.d"
    std::string date;     // "YYYY-MM-DD"; empty when the platform gives none
    std::optional<std::uint32_t> rank;  // none when the platform cannot tell
    std::string section;  // the INF's install section
    std::string inf;      // the INF file it came from
    bool excluded = false;  // from automatic selection
    bool selected = false;  // by the class installer
};

// One models section of the INF.
struct model_section {
    std::string section;     // e.g. "Models.NTamd64"
    std::string decoration;  // e.g. "NTamd64"; empty for the undecorated section
    bool applies = false;    // the platform reads it for this process
    bool this_architecture = true;
    std::vector<std::string> ids;  // the hardware and compatible IDs of its lines
};

// Why no driver is selected; --json writes its name.
enum class no_driver_reason {
    none, no_device, inf_missing, not_an_inf, no_matching_model, other_architecture,
    other_os_version, class_installer_declined,
};

struct drivers_outcome {
    std::string inf_path;
    std::string instance_id;  // empty: no device
    std::vector<std::string> hardware_ids;
    std::vector<std::string> compatible_ids;
    std::vector<driver_candidate> drivers;
    no_driver_reason reason = no_driver_reason::none;
    std::string reason_detail;  // in words, with the platform's error
    std::optional<platform_error> reason_error;
    std::vector<model_section> models;  // shown when the models decide
    int code = 0;  // the result code the watched run ended with
};
// The text, or {"inf","device","hardware_ids","compatible_ids","drivers":[{"description",
//  "manufacturer","provider","version","date","rank","section","inf","excluded","selected"}],
//  "reason","reason_text","error","error_name","error_text",
//  "models":[{"section","decoration","applies","ids"}]}.
std::string drivers_report(const drivers_outcome& outcome, bool json);
// 0 when a driver is selected; otherwise the status install ends with.
int drivers_exit_status(const drivers_outcome& outcome);

}  // namespace qvinst
