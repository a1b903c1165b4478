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

void append_row_text(std::string& out, const device_row& row) {
    for (const std::string* field : {&row.instance_id, &row.hardware_id, &row.compact_id}) {
        out += or_dash(*field);
        out += field == &row.compact_id ? '\n' : field_separator;
    }
}

void write_row_json(json_writer& json, const device_row& row) {
    json.key("instance_id").string(row.instance_id);
    json.key("hardware_id").string(row.hardware_id);
    json.key("compact_id").string(row.compact_id);
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
    if (search.end.result == QV7_E_OUT_OF_MEMORY) {
        return std::nullopt;
    }
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

std::string list_text(const std::vector<device_row>& devices) {
    std::string out;
    for (const device_row& row : devices) {
        append_row_text(out, row);
    }
    return out;
}

std::string list_json(const std::vector<device_row>& devices) {
    json_writer json;
    json.begin_object().key("devices").begin_array();
    for (const device_row& row : devices) {
        json.begin_object();
        write_row_json(json, row);
        json.end_object();
    }
    return json.end_array().end_object().line();
}

std::string find_text(const find_outcome& outcome) {
    const std::string tag(idconv::format::tag_pci);
    std::string out = "wanted: " + outcome.wanted + "\nrule: " + rule_name(outcome.rule);
    out += outcome.rule == idconv::match_rule::pci_window
               ? " (the wanted ID begins with \"" + tag + "\")\n"
               : " (the wanted ID does not begin with \"" + tag + "\")\n";
    if (outcome.matches.empty()) {
        out += "no present device matches\n";
    }
    for (std::size_t i = 0; i < outcome.matches.size(); ++i) {
        out += outcome.chosen_row == i ? "* " : "  ";
        append_row_text(out, outcome.matches[i]);
    }
    if (!outcome.chosen_instance_id.empty()) {
        out += "chosen: " + outcome.chosen_instance_id;
        if (!outcome.chosen_row) {
            out += " (not among the matches above: the devices changed while qvinst looked)";
        }
        return out + '\n';
    }
    return out + (outcome.matches.empty()
                      ? "chosen: none\n"
                      : "chosen: none (the instance ID of the last matching device cannot be "
                        "read, so the library finds no device)\n");
}

std::string find_json(const find_outcome& outcome) {
    json_writer json;
    json.begin_object();
    json.key("wanted").string(outcome.wanted);
    json.key("rule").string(rule_name(outcome.rule));
    json.key("devices").begin_array();
    for (std::size_t i = 0; i < outcome.matches.size(); ++i) {
        json.begin_object();
        write_row_json(json, outcome.matches[i]);
        json.key("chosen").boolean(outcome.chosen_row == i);
        json.end_object();
    }
    json.end_array();
    json.key("chosen").string_or_null(outcome.chosen_instance_id);
    return json.end_object().line();
}

int find_exit_status(const find_outcome& outcome) {
    return outcome.chosen_instance_id.empty() ? describe_result(QV7_E_NO_DEVICE).exit_status
                                              : exit_success;
}

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

}  // namespace qvinst
