// list, find and install on Windows.
#include "tools/qvinst/device_commands.h"

#include "tools/qvinst/device_reports.h"
#include "tools/qvinst/help_text.h"
#include "tools/qvinst/quorvant_dll.h"
#include "tools/qvinst/result_codes.h"

namespace qvinst {

command_result run_list(const invocation& call) {
    const std::vector<device_row> devices = survey_present_devices();
    return {call.json ? list_json(devices) : list_text(devices), {}, exit_success};
}

command_result run_find(const invocation& call) {
    const std::optional<find_outcome> outcome = find_matching_devices(call.operands.at(0));
    if (!outcome) {
        return {{}, "qvinst: out of memory\n", exit_trouble};
    }
    return {call.json ? find_json(*outcome) : find_text(*outcome), {}, find_exit_status(*outcome)};
}

command_result run_install(const invocation& call) {
    const std::string& inf_path = call.operands.at(0);
    const std::string& compact_id = call.operands.at(1);
    const bool json = call.json;
    if (call.explain) {
        return run_install_explained(inf_path, compact_id, json);
    }
    dll_path path;
    find_quorvant_dll(path);
    quorvant_dll library;
    std::string error;
    if (!library.load(path, error)) {
        return {{}, "qvinst: " + error + "\n", exit_trouble};
    }
    const int code = library.install_device(inf_path, compact_id);
    return {json ? install_json(inf_path, compact_id, code) : install_text(code), {},
            describe_result(code).exit_status};
}

command_result run_version() {
    command_result result{"qvinst " + std::string(qvinst_version()) + "\n", {}, exit_success};
    dll_path path;
    find_quorvant_dll(path);
    std::string version;
    std::string error;
    if (read_file_version(path, version, error)) {
        result.out += "QUORVANT.dll " + version + " (" + path_text(path.view()) + ")\n";
    } else {
        result.err = "qvinst: " + error + "\n";
        result.status = exit_trouble;
    }
    return result;
}

}  // namespace qvinst
