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

// "label: a, b" in the text (with `shown`), ["a","b"] in JSON.
void list_field(report& r, std::string_view key, std::string_view label,
                const std::vector<std::string>& items, bool shown = true) {
    std::string joined;
    r.json.key(key).begin_array();
    for (const std::string& item : items) {
        joined += (joined.empty() ? "" : ", ") + item;
        r.json.string(item);
    }
    r.json.end_array();
    if (shown) r.line(label, or_dash(joined));
}

std::string result_text(int code) {
    const result_codes::row info = describe_result(code);
    return std::to_string(code) + " " + std::string(info.name) + ": " + std::string(info.meaning) +
           "\n";
}

void driver_record(report& r, const driver_candidate& d) {
    r.begin_record(d.selected ? "* " : "  ").cell("description", d.description);
    r.cell("manufacturer", d.manufacturer).cell("provider", d.provider).cell("version", d.version);
    r.json.key("date").string_or_null(d.date);
    r.shown_cell(d.date);
    r.json.key("rank").number_or_null(d.rank);
    r.shown_cell(d.rank ? hex_text(*d.rank) : std::string("rank unknown"));
    r.cell("section", d.section);
    r.json.key("inf").string(d.inf).key("excluded").boolean(d.excluded);
    r.json.key("selected").boolean(d.selected);
    r.shown_cell(d.excluded ? "excluded from automatic selection" : "selectable").end_record();
}

}  // namespace

void write_error(json_writer& json, const std::optional<platform_error>& error) {
    json.key("error").number_or_null(error ? std::optional<long long>(error->code) : std::nullopt);
    json.key("error_name");
    error ? json.string(error->name) : json.null();
    json.key("error_text");
    error ? json.string(error->text) : json.null();
}

std::string install_report(std::string_view inf_path, std::string_view compact_id, int code,
                           bool json) {
    const result_codes::row info = describe_result(code);
    report r;
    r.text = result_text(code);
    r.json.key("inf").string(inf_path).key("compact_id").string(compact_id);
    r.json.key("result").number(code).key("name").string(info.name);
    r.json.key("meaning").string(info.meaning).key("exit_status").number(info.exit_status);
    return r.output(json);
}

std::string explained_step_text(const explained_step& s) {
    std::string out = s.step + (s.ok ? "" : " FAILED");
    if (!s.detail.empty()) out += ": " + s.detail;
    if (s.error) {
        out += s.detail.empty() ? ": " : "; ";
        out += error_line(*s.error);
    }
    return out + "\n";
}

std::string explained_report(const std::vector<explained_step>& steps, int code, bool json) {
    const result_codes::row info = describe_result(code);
    report r;
    r.json.key("steps").begin_array();
    for (const explained_step& s : steps) {
        r.json.begin_object().key("step").string(s.step).key("ok").boolean(s.ok);
        write_error(r.json, s.error);
        r.json.key("detail").string(s.detail).end_object();
    }
    r.json.end_array().key("result").number(code).key("name").string(info.name);
    r.json.key("exit_status").number(info.exit_status);
    r.text = "result: " + result_text(code);
    r.field("log", "the platform's own account", platform_log);
    return r.output(json);
}

std::string drivers_report(const drivers_outcome& o, bool json) {
    report r;
    r.field("inf", "inf", o.inf_path).field_or_null("device", "device", o.instance_id);
    list_field(r, "hardware_ids", "hardware IDs", o.hardware_ids, !o.instance_id.empty());
    list_field(r, "compatible_ids", "compatible IDs", o.compatible_ids, !o.instance_id.empty());
    r.text += o.drivers.empty() ? "drivers: none\n"
                                : "drivers (description, manufacturer, provider, version, date, "
                                  "rank, section, selection):\n";
    r.json.key("drivers").begin_array();
    for (const driver_candidate& d : o.drivers) driver_record(r, d);
    r.json.end_array();
    for (const driver_candidate& d : o.drivers) {
        if (d.selected && o.reason == no_driver_reason::none) {
            r.line("selected", d.description + " (section " + d.section + " of " + d.inf + ")");
        }
    }
    const bool none = o.reason == no_driver_reason::none;
    r.json.key("reason").string_or_null(none ? std::string_view() : reason_word(o.reason));
    r.json.key("reason_text").string(o.reason_detail);
    write_error(r.json, o.reason_error);
    if (!none) {
        r.line("selected", "none");
        r.line("reason", std::string(reason_word(o.reason)) + ": " + o.reason_detail);
    }
    const bool models_decide = o.reason == no_driver_reason::no_matching_model ||
                               o.reason == no_driver_reason::other_architecture ||
                               o.reason == no_driver_reason::other_os_version;
    if (models_decide) {
        r.text += o.models.empty() ? "models in the INF: none\n" : "models in the INF:\n";
    }
    r.json.key("models").begin_array();
    for (const model_section& m : o.models) {
        r.json.begin_object().key("section").string(m.section);
        r.json.key("decoration").string(m.decoration).key("applies").boolean(m.applies);
        const std::string_view decoration =
            m.decoration.empty() ? std::string_view("undecorated") : std::string_view(m.decoration);
        const std::string head = "  [" + m.section + "] (" + std::string(decoration) +
                                 (m.applies ? ", read" : ", not read") + " by this process)";
        list_field(r, "ids", head, m.ids, models_decide);
        r.json.end_object();
    }
    r.json.end_array();
    return r.output(json);
}

int drivers_exit_status(const drivers_outcome& o) {
    // Without a selected driver the watched run ended as install would:
    // -1 no device, -2 no driver, -4 no INF path.
    return o.reason == no_driver_reason::none ? exit_success : describe_result(o.code).exit_status;
}

}  // namespace qvinst
