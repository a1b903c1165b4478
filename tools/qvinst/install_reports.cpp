// The output of install, install --explain and drivers.
#include "tools/qvinst/install_reports.h"

#include "tools/qvinst/commands.h"
#include "tools/qvinst/json.h"

namespace qvinst {
namespace {

constexpr std::string_view platform_log = "%windir%\\inf\\setupapi.dev.log";
// The words of no_driver_reason, in its order.
constexpr std::string_view reason_words[] = {
    "none",       "no_device", "inf_missing", "not_an_inf", "no_matching_model",
    "other_architecture", "other_os_version", "class_installer_declined"};

std::string_view reason_word(no_driver_reason reason) {
    return reason_words[static_cast<std::size_t>(reason)];
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        out += (out.empty() ? "" : ", ") + item;
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
    out += d.selected ? "* " : "  ";
    for (const std::string* field : {&d.description, &d.manufacturer, &d.provider, &d.version, &d.date}) {
        out += or_dash(*field);
        out += field_separator;
    }
    out += d.rank ? hex_text(*d.rank) : std::string("rank unknown");
    out += field_separator;
    out += or_dash(d.section);
    out += field_separator;
    out += d.excluded ? "excluded from automatic selection\n" : "selectable\n";
}

void append_models_text(std::string& out, const std::vector<model_section>& models) {
    out += models.empty() ? "models in the INF: none\n" : "models in the INF:\n";
    for (const model_section& m : models) {
        out += "  [" + m.section + "] (" + (m.decoration.empty() ? "undecorated" : m.decoration);
        out += m.applies ? ", read by this process" : ", not read by this process";
        out += "): " + joined(m.ids) + "\n";
    }
}

}  // namespace

void write_error(json_writer& json, const std::optional<platform_error>& error) {
    json.key("error").number_or_null(error ? std::optional<long long>(error->code) : std::nullopt);
    json.key("error_name");
    error ? json.string(error->name) : json.null();
    json.key("error_text");
    error ? json.string(error->text) : json.null();
}

std::string install_text(int code) {
    const result_codes::row info = describe_result(code);
    return std::to_string(code) + " " + std::string(info.name) + ": " + std::string(info.meaning) +
           "\n";
}

std::string install_json(std::string_view inf_path, std::string_view compact_id, int code) {
    const result_codes::row info = describe_result(code);
    json_writer json;
    json.begin_object()
        .key("inf").string(inf_path)
        .key("compact_id").string(compact_id)
        .key("result").number(code)
        .key("name").string(info.name)
        .key("meaning").string(info.meaning)
        .key("exit_status").number(info.exit_status);
    return json.end_object().line();
}

std::string explained_step_text(const explained_step& s) {
    std::string out = s.step + (s.ok ? "" : " FAILED");
    if (!s.detail.empty()) {
        out += ": " + s.detail;
    }
    if (s.error) {
        out += s.detail.empty() ? ": " : "; ";
        out += s.error->name + " (" + error_number_text(s.error->code) + ")";
        out += s.error->text.empty() ? "" : " " + s.error->text;
    }
    return out + "\n";
}

std::string explained_result_text(int code) {
    return "result: " + install_text(code) + "the platform's own account: " +
           std::string(platform_log) + "\n";
}

std::string explained_json(const std::vector<explained_step>& steps, int code) {
    const result_codes::row info = describe_result(code);
    json_writer json;
    json.begin_object().key("steps").begin_array();
    for (const explained_step& s : steps) {
        json.begin_object().key("step").string(s.step).key("ok").boolean(s.ok);
        write_error(json, s.error);
        json.key("detail").string(s.detail).end_object();
    }
    json.end_array();
    json.key("result").number(code);
    json.key("name").string(info.name);
    json.key("exit_status").number(info.exit_status);
    json.key("log").string(platform_log);
    return json.end_object().line();
}

std::string drivers_text(const drivers_outcome& o) {
    std::string out = "inf: " + o.inf_path + "\n";
    out += "device: " + std::string(o.instance_id.empty() ? "none" : o.instance_id) + "\n";
    if (!o.instance_id.empty()) {
        out += "hardware IDs: " + joined(o.hardware_ids) + "\n";
        out += "compatible IDs: " + joined(o.compatible_ids) + "\n";
    }
    out += o.drivers.empty() ? "drivers: none\n"
                             : "drivers (description, manufacturer, provider, version, date, "
                               "rank, section, selection):\n";
    for (const driver_candidate& d : o.drivers) {
        append_driver_text(out, d);
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
        json.key("rank").number_or_null(d.rank);
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
    return json.end_object().line();
}

int drivers_exit_status(const drivers_outcome& o) {
    // Without a selected driver the watched run ended as install would:
    // -1 no device, -2 no driver, -4 no INF path.
    return o.reason == no_driver_reason::none ? exit_success : describe_result(o.code).exit_status;
}

}  // namespace qvinst
