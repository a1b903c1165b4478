// qvinst id: the compact ID of each hardware-ID text, by the library's own
// conversion.
#pragma once

#include <string>
#include <vector>

namespace qvinst {

struct id_row {
    std::string hardware_id;
    std::string compact_id;  // empty: the text has none
};

// One row per text, in the order given.
std::vector<id_row> convert_hardware_ids(const std::vector<std::string>& texts);

// One line per row: the compact ID, or "-" when there is none.
std::string id_text(const std::vector<id_row>& rows);
// {"ids":[{"hardware_id":...,"compact_id":...},...]}; "" for no compact ID.
std::string id_json(const std::vector<id_row>& rows);

// exit_success, or exit_no_compact_id when any text has no compact ID.
int id_exit_status(const std::vector<id_row>& rows);

}  // namespace qvinst
