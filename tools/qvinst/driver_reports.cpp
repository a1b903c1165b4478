// Output of qvinst drivers and install --explain.
#include "tools/qvinst/driver_reports.h"

#include "tools/qvinst/device_reports.h"
#include "tools/qvinst/json_writer.h"
#include "tools/qvinst/platform_errors.h"
#include "tools/qvinst/report_text.h"
#include "tools/qvinst/result_codes.h"

#include <cstdio>

namespace qvinst {
namespace {

constexpr std::string_view selected_mark = "* ";
constexpr std::string_view unselected_mark = "  ";
constexpr std::string_view list_separator = ", ";
constexpr std::string_view platform_log = "%windir%\\inf\\setupapi.dev.log";
std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        if (!out.empty()) {
            out += list_separator;
        }
        out += item;
    }
    return std::string(or_dash(out));
}

void write_strings(json_writer& json, const std::vector<std::string>& items) {
    json.begin_array();
    for (const std::string& item : items) {
        json.string(item);
    }
    json.end_array();
}

void append_driver_text(std::string& out, const driver_candidate& d) {
    out += d.selected ? selected_mark : unselected_mark;
    for (const std::string_view field :
         {std::string_view(d.description), std::string_view(d.manufacturer),
          std::string_view(d.provider), std::string_view(d.version), std::string_view(d.date)}) {
        out += or_dash(field);
        out += field_separator;
    }
    out += d.rank ? hex_text(*d.rank) : std::string("rank unknown");
    out += field_separator;
    out += or_dash(d.section);
    out += field_separator;
    out += d.excluded ? "excluded from automatic selection" : "selectable";
    out += '\n';
}

void append_models_text(std::string& out, const std::vector<model_section>& models) {
    if (models.empty()) {
        out += "models in the INF: none\n";
        return;
    }
    out += "models in the INF:\n";
    for (const model_section& m : models) {
        out += "  [" + m.section + "] (";
        out += m.decoration.empty() ? "undecorated" : m.decoration;
        out += m.applies ? ", read by this process" : ", not read by this process";
        out += "): " + joined(m.ids) + "\n";
    }
}

}  // namespace

void write_error(json_writer& json, const std::optional<platform_error>& error) {
    json.key("error");
    error ? json.number(error->code) : json.null();
    json.key("error_name");
    error ? json.string(error->name) : json.null();
    json.key("error_text");
    error ? json.string(error->text) : json.null();
}

std::string_view reason_word(no_driver_reason reason) {
    switch (reason) {
        case no_driver_reason::none: return "none";
        case no_driver_reason::no_device: return "no_device";
        case no_driver_reason::inf_missing: return "inf_missing";
        case no_driver_reason::not_an_inf: return "not_an_inf";
        case no_driver_reason::no_matching_model: return "no_matching_model";
        case no_driver_reason::other_architecture: return "other_architecture";
        case no_driver_reason::other_os_version: return "other_os_version";
        case no_driver_reason::class_installer_declined: return "class_installer_declined";
    }
    return "?";
}

std::string drivers_text(const drivers_outcome& o) {
    std::string out = "inf: " + o.inf_path + "\n";
    out += "device: " + std::string(o.instance_id.empty() ? "none" : o.instance_id) + "\n";
    if (!o.instance_id.empty()) {
        out += "hardware IDs: " + joined(o.hardware_ids) + "\n";
        out += "compatible IDs: " + joined(o.compatible_ids) + "\n";
    }
    if (o.drivers.empty()) {
        out += "drivers: none\n";
    } else {
        out += "drivers (description, manufacturer, provider, version, date, rank, section, "
               "selection):\n";
        for (const driver_candidate& d : o.drivers) {
            append_driver_text(out, d);
        }
    }
    if (o.reason == no_driver_reason::none) {
        for (const driver_candidate& d : o.drivers) {
            if (d.selected) {
                out += "selected: " + d.description + " (section " + d.section + " of " + d.inf +
                       ")\n";
            }
        }
        return out;
    }
    out += "selected: none\n";
    out += "reason: " + std::string(reason_word(o.reason)) + ": " + o.reason_detail + "\n";
    if (o.reason == no_driver_reason::no_matching_model ||
        o.reason == no_driver_reason::other_architecture ||
        o.reason == no_driver_reason::other_os_version) {
        append_models_text(out, o.models);
    }
    return out;
}

std::string drivers_json(const drivers_outcome& o) {
    json_writer json;
    json.begin_object();
    json.key("inf").string(o.inf_path);
    json.key("device").string_or_null(o.instance_id);
    json.key("hardware_ids");
    write_strings(json, o.hardware_ids);
    json.key("compatible_ids");
    write_strings(json, o.compatible_ids);
    json.key("drivers").begin_array();
    for (const driver_candidate& d : o.drivers) {
        json.begin_object();
        json.key("description").string(d.description);
        json.key("manufacturer").string(d.manufacturer);
        json.key("provider").string(d.provider);
        json.key("version").string(d.version);
        json.key("date").string_or_null(d.date);
        json.key("rank");
        d.rank ? json.number(*d.rank) : json.null();
        json.key("section").string(d.section);
        json.key("inf").string(d.inf);
        json.key("excluded").boolean(d.excluded);
        json.key("selected").boolean(d.selected);
        json.end_object();
    }
    json.end_array();
    json.key("reason").string_or_null(o.reason == no_driver_reason::none ? std::string_view()
                                                                       : reason_word(o.reason));
    json.key("reason_text").string(o.reason_detail);
    write_error(json, o.reason_error);
    json.key("models").begin_array();
    for (const model_section& m : o.models) {
        json.begin_object();
        json.key("section").string(m.section);
        json.key("decoration").string(m.decoration);
        json.key("applies").boolean(m.applies);
        json.key("ids");
        write_strings(json, m.ids);
        json.end_object();
    }
    json.end_array();
    json.end_object();
    return json.line();
}

int drivers_exit_status(const drivers_outcome& o) {
    // Without a selected driver the watched run ended as install would:
    // -1 no device, -2 no driver, -4 no INF path.
    return o.reason == no_driver_reason::none ? exit_success : describe_result(o.code).exit_status;
}

std::string explained_step_text(const explained_step& s) {
    std::string out = s.step;
    if (!s.ok) {
        out += " FAILED";
    }
    if (!s.detail.empty()) {
        out += ": " + s.detail;
    }
    if (s.error) {
        out += s.detail.empty() ? ": " : "; ";
        out += s.error->name + " (" + error_number_text(s.error->code) + ")";
        if (!s.error->text.empty()) {
            out += " " + s.error->text;
        }
    }
    return out + "\n";
}

std::string explained_result_text(int code) {
    return "result: " + install_text(code) + "the platform's own account: " +
           std::string(platform_log) + "\n";
}

std::string explained_json(const std::vector<explained_step>& steps, int code) {
    const result_code_info info = describe_result(code);
    json_writer json;
    json.begin_object().key("steps").begin_array();
    for (const explained_step& s : steps) {
        json.begin_object();
        json.key("step").string(s.step);
        json.key("ok").boolean(s.ok);
        write_error(json, s.error);
        json.key("detail").string(s.detail);
        json.end_object();
    }
    json.end_array();
    json.key("result").number(code);
    json.key("name").string(info.name);
    json.key("exit_status").number(info.exit_status);
    json.key("log").string(platform_log);
    json.end_object();
    return json.line();
}

}  // namespace qvinst
