// Output of qvinst list, find and install.
#include "tools/qvinst/device_reports.h"

#include "idconv/compact_id_format.h"
#include "include/quorvant.h"
#include "tools/qvinst/json_writer.h"
#include "tools/qvinst/report_text.h"
#include "tools/qvinst/result_codes.h"

namespace qvinst {
namespace {

constexpr std::string_view chosen_mark = "* ";
constexpr std::string_view unchosen_mark = "  ";

void append_row_text(std::string& out, const device_row& row) {
    out += or_dash(row.instance_id);
    out += field_separator;
    out += or_dash(row.hardware_id);
    out += field_separator;
    out += or_dash(row.compact_id);
    out += '\n';
}

void write_row_json(json_writer& json, const device_row& row) {
    json.key("instance_id").string(row.instance_id);
    json.key("hardware_id").string(row.hardware_id);
    json.key("compact_id").string(row.compact_id);
}

std::string rule_reason(idconv::match_rule rule) {
    const std::string tag(idconv::format::tag_pci);
    return rule == idconv::match_rule::pci_window
               ? "the wanted ID begins with \"" + tag + "\""
               : "the wanted ID does not begin with \"" + tag + "\"";
}

}  // namespace

void mark_chosen_row(find_outcome& outcome) {
    outcome.chosen_row.reset();
    if (outcome.chosen_instance_id.empty()) {
        return;
    }
    for (std::size_t i = outcome.matches.size(); i-- > 0;) {
        if (outcome.matches[i].instance_id == outcome.chosen_instance_id) {
            outcome.chosen_row = i;
            return;
        }
    }
}

std::string rule_name(idconv::match_rule rule) {
    return rule == idconv::match_rule::pci_window
               ? "first " + std::to_string(idconv::format::pci_match_window) + " characters"
               : "whole text";
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
    json.end_array().end_object();
    return json.line();
}

std::string find_text(const find_outcome& outcome) {
    std::string out = "wanted: " + outcome.wanted + "\n";
    out += "rule: " + rule_name(outcome.rule) + " (" + rule_reason(outcome.rule) + ")\n";
    if (outcome.matches.empty()) {
        out += "no present device matches\n";
    }
    for (std::size_t i = 0; i < outcome.matches.size(); ++i) {
        out += outcome.chosen_row == i ? chosen_mark : unchosen_mark;
        append_row_text(out, outcome.matches[i]);
    }
    if (!outcome.chosen_instance_id.empty()) {
        out += "chosen: " + outcome.chosen_instance_id;
        if (!outcome.chosen_row) {
            out += " (not among the matches above: the devices changed while qvinst looked)";
        }
        out += '\n';
    } else if (!outcome.matches.empty()) {
        out += "chosen: none (the instance ID of the last matching device cannot be read, so the "
               "library finds no device)\n";
    } else {
        out += "chosen: none\n";
    }
    return out;
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
    json.end_object();
    return json.line();
}

int find_exit_status(const find_outcome& outcome) {
    return outcome.chosen_instance_id.empty() ? describe_result(QV7_E_NO_DEVICE).exit_status
                                              : exit_success;
}

std::string install_text(int code) {
    const result_code_info info = describe_result(code);
    return std::to_string(code) + " " + std::string(info.name) + ": " + std::string(info.meaning) +
           "\n";
}

std::string install_json(std::string_view inf_path, std::string_view compact_id, int code) {
    const result_code_info info = describe_result(code);
    json_writer json;
    json.begin_object()
        .key("inf").string(inf_path)
        .key("compact_id").string(compact_id)
        .key("result").number(code)
        .key("name").string(info.name)
        .key("meaning").string(info.meaning)
        .key("exit_status").number(info.exit_status)
        .end_object();
    return json.line();
}

}  // namespace qvinst
