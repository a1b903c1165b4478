// The row of the device that the library's search chose.
#include "tools/qvinst/device_rows.h"

namespace qvinst {

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

}  // namespace qvinst
