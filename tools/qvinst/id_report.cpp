// qvinst id.
#include "tools/qvinst/id_report.h"

#include "idconv/id_conv.h"
#include "tools/qvinst/json_writer.h"
#include "tools/qvinst/report_text.h"
#include "tools/qvinst/result_codes.h"

namespace qvinst {

std::vector<id_row> convert_hardware_ids(const std::vector<std::string>& texts) {
    std::vector<id_row> rows;
    rows.reserve(texts.size());
    for (const std::string& text : texts) {
        rows.push_back({text, std::string(idconv::build_compact_id(text))});
    }
    return rows;
}

std::string id_text(const std::vector<id_row>& rows) {
    std::string out;
    for (const id_row& row : rows) {
        out += or_dash(row.compact_id);
        out += '\n';
    }
    return out;
}

std::string id_json(const std::vector<id_row>& rows) {
    json_writer json;
    json.begin_object().key("ids").begin_array();
    for (const id_row& row : rows) {
        json.begin_object()
            .key("hardware_id").string(row.hardware_id)
            .key("compact_id").string(row.compact_id)
            .end_object();
    }
    json.end_array().end_object();
    return json.line();
}

int id_exit_status(const std::vector<id_row>& rows) {
    for (const id_row& row : rows) {
        if (row.compact_id.empty()) {
            return exit_no_compact_id;
        }
    }
    return exit_success;
}

}  // namespace qvinst
