// The walk over present devices for qvinst list and find.
#include "tools/qvinst/device_survey.h"

#include "idconv/id_conv.h"
#include "install/ID_MAIN2.h"

#include <string>
#include <utility>

namespace qvinst {
namespace {

// The walk takes a plain function as its step; the rows it collects go to
// the survey that is under way. qvinst runs one survey at a time.
struct survey_state {
    std::vector<device_row>* rows = nullptr;
    const std::string* wanted = nullptr;  // only matching devices, when set
};
survey_state current_survey;

class survey_scope {
public:
    survey_scope(std::vector<device_row>& rows, const std::string* wanted) {
        current_survey = {&rows, wanted};
    }
    survey_scope(const survey_scope&) = delete;
    survey_scope& operator=(const survey_scope&) = delete;
    ~survey_scope() { current_survey = {}; }
};

// Reads a device as the library's own step does, and decides the match by
// the library's own rule.
void collect_device(HDEVINFO set, SP_DEVINFO_DATA& element) {
    device_row row;
    row.hardware_id = ID_MAIN2::read_device_registry_string(set, element, SPDRP_HARDWAREID);
    row.compact_id = idconv::build_compact_id(row.hardware_id);
    if (current_survey.wanted && !ID_MAIN2::device_matches(*current_survey.wanted, row.compact_id)) {
        return;
    }
    row.instance_id = ID_MAIN2::read_device_instance_id(set, element);
    current_survey.rows->push_back(std::move(row));
}

std::vector<device_row> walk(const std::string* wanted) {
    std::vector<device_row> rows;
    const survey_scope scope(rows, wanted);
    ID_MAIN2::enum_present_devices(collect_device);
    return rows;
}

}  // namespace

std::vector<device_row> survey_present_devices() { return walk(nullptr); }

find_outcome find_matching_devices(std::string_view wanted) {
    find_outcome outcome;
    outcome.wanted = std::string(wanted);
    outcome.rule = idconv::match_rule_for(wanted);

    outcome.matches = walk(&outcome.wanted);

    ID_MAIN2::find_device_instance_id(wanted);
    outcome.chosen_instance_id = ID_MAIN2::found_instance_id;
    mark_chosen_row(outcome);
    return outcome;
}

}  // namespace qvinst
