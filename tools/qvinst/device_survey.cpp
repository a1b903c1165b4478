// The walk over present devices for qvinst list and find.
#include "tools/qvinst/device_rows.h"

#include "idconv/id_conv.h"
#include "include/quorvant.h"
#include "install/ID_MAIN2.h"

#include <string>
#include <utility>

namespace qvinst {
namespace {

// Reads a device as the library's own step does, and decides the match by
// the library's own rule.
device_row read_row(HDEVINFO set, SP_DEVINFO_DATA& element) {
    device_row row;
    row.hardware_id = std::string(ID_MAIN2::read_device_registry_string(set, element, SPDRP_HARDWAREID));
    row.compact_id = std::string(std::string_view(idconv::build_compact_id(row.hardware_id)));
    return row;
}

}  // namespace

std::vector<device_row> survey_present_devices() {
    std::vector<device_row> rows;
    auto collect = [&rows](HDEVINFO set, SP_DEVINFO_DATA& element) {
        device_row row = read_row(set, element);
        row.instance_id = std::string(ID_MAIN2::read_device_instance_id(set, element));
        rows.push_back(std::move(row));
    };
    ID_MAIN2::walk_present_devices(collect);
    return rows;
}

std::optional<find_outcome> find_matching_devices(std::string_view wanted) {
    find_outcome outcome;
    outcome.wanted = std::string(wanted);
    outcome.rule = idconv::match_rule_for(wanted);

    // One walk: the library's own search decides the choice, and the
    // matching devices are collected beside its step.
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

}  // namespace qvinst
