// qvinst list and find.
#include "tools/qvinst/devices.h"

#include "idconv/compact_id_format.h"
#include "install/ID_MAIN2.h"
#include "tools/qvinst/commands.h"
#include "tools/qvinst/json.h"

#include <utility>

namespace qvinst {
namespace {

// Reads a device as the library's own step does.
device_row read_row(HDEVINFO set, SP_DEVINFO_DATA& element) {
    device_row row;
    row.hardware_id =
        std::string(ID_MAIN2::read_device_registry_string(set, element, SPDRP_HARDWAREID));
    row.compact_id = std::string(std::string_view(idconv::build_compact_id(row.hardware_id)));
    return row;
}

// The device's cells of a record: instance ID, first hardware ID and compact ID.
void row_cells(report& r, const device_row& row) {
    r.cell("instance_id", row.instance_id).cell("hardware_id", row.hardware_id);
    r.cell("compact_id", row.compact_id);
}

std::string rule_name(idconv::match_rule rule) {
    return rule == idconv::match_rule::pci_window
               ? "first " + std::to_string(idconv::format::pci_match_window) + " characters"
               : "whole text";
}

}  // namespace

std::vector<device_row> survey_present_devices() {
    std::vector<device_row> rows;
    auto collect = [&rows](HDEVINFO set, SP_DEVINFO_DATA& element) {
        rows.push_back(read_row(set, element));
        rows.back().instance_id = std::string(ID_MAIN2::read_device_instance_id(set, element));
    };
    ID_MAIN2::walk_present_devices(collect);
    return rows;
}

std::optional<find_outcome> find_matching_devices(std::string_view wanted) {
    find_outcome outcome;
    outcome.wanted = std::string(wanted);
    outcome.rule = idconv::match_rule_for(wanted);
    const ID_MAIN2::device_visitor collect{
        [](HDEVINFO set, SP_DEVINFO_DATA& element, void* context) {
            find_outcome& found = *static_cast<find_outcome*>(context);
            device_row row = read_row(set, element);
            if (ID_MAIN2::device_matches(found.wanted, row.compact_id)) {
                row.instance_id = std::string(ID_MAIN2::read_device_instance_id(set, element));
                found.matches.push_back(std::move(row));
            }
        },
        &outcome};
    const ID_MAIN2::search_result search =
        ID_MAIN2::find_device_instance_id(wanted, nullptr, collect);
    if (search.end.result == QV7_E_OUT_OF_MEMORY) return std::nullopt;
    outcome.chosen_instance_id = std::string(search.instance_id);
    mark_chosen_row(outcome);
    return outcome;
}

void mark_chosen_row(find_outcome& outcome) {
    outcome.chosen_row.reset();
    for (std::size_t i = outcome.matches.size(); i-- > 0 && !outcome.chosen_instance_id.empty();) {
        if (outcome.matches[i].instance_id == outcome.chosen_instance_id) {
            outcome.chosen_row = i;
            return;
        }
    }
}

std::string list_report(const std::vector<device_row>& devices, bool json) {
    report r;
    r.json.key("devices").begin_array();
    for (const device_row& row : devices) {
        row_cells(r.begin_record(""), row);
        r.end_record();
    }
    r.json.end_array();
    return r.output(json);
}

std::string find_report(const find_outcome& outcome, bool json) {
    const std::string tag(idconv::format::tag_pci);
    const bool pci = outcome.rule == idconv::match_rule::pci_window;
    report r;
    r.field("wanted", "wanted", outcome.wanted);
    const std::string rule = rule_name(outcome.rule);
    const std::string begins =
        pci ? " (the wanted ID begins with \"" : " (the wanted ID does not begin with \"";
    r.field("rule", "rule", rule, rule + begins + tag + "\")");
    if (outcome.matches.empty()) r.text += "no present device matches\n";
    r.json.key("devices").begin_array();
    for (std::size_t i = 0; i < outcome.matches.size(); ++i) {
        row_cells(r.begin_record(outcome.chosen_row == i ? "* " : "  "), outcome.matches[i]);
        r.json.key("chosen").boolean(outcome.chosen_row == i);
        r.end_record();
    }
    r.json.end_array();
    const char* note = "";
    if (!outcome.chosen_instance_id.empty() && !outcome.chosen_row) {
        note = " (not among the matches above: the devices changed while qvinst looked)";
    } else if (outcome.chosen_instance_id.empty() && !outcome.matches.empty()) {
        note = " (the instance ID of the last matching device cannot be read, so the library "
               "finds no device)";
    }
    r.json.key("chosen").string_or_null(outcome.chosen_instance_id);
    r.line("chosen", std::string(or_none(outcome.chosen_instance_id)) + note);
    return r.output(json);
}

int find_exit_status(const find_outcome& outcome) {
    return outcome.chosen_instance_id.empty() ? describe_result(QV7_E_NO_DEVICE).exit_status
                                              : exit_success;
}

command_result run_list(const invocation& call) {
    const std::vector<device_row> devices = survey_present_devices();
    return {list_report(devices, call.json), {}, exit_success};
}

command_result run_find(const invocation& call) {
    const std::optional<find_outcome> outcome = find_matching_devices(call.operands.at(0));
    if (!outcome) {
        return {{}, "qvinst: out of memory\n", exit_trouble};
    }
    return {find_report(*outcome, call.json), {}, find_exit_status(*outcome)};
}

}  // namespace qvinst
