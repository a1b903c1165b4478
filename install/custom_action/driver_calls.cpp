#include "install/custom_action/driver_calls.h"

#include "include/quorvant.h"
#include "install/bridge/caller.h"


namespace custom_action {
namespace {

// The operation in the helper from `helpers`; in this process when none
// takes it.
driver_package::outcome package_call(wow64::operation what, const char* operand,
                                     std::wstring_view helpers) {
    if (!helpers.empty()) {
        const wow64::delegated_package through_helper = wow64::package_in_helper(helpers, what, operand);
        if (through_helper.delegated) {
            return through_helper.outcome;
        }
    }
    return what == wow64::operation::stage ? driver_package::stage(operand) : driver_package::remove(operand);
}

}  // namespace

installed install_driver(const char* inf_path, const char* compact_id, std::wstring_view helpers) {
    if (!helpers.empty()) {
        const wow64::bridged through_helper = wow64::run_in_helper_from(helpers, inf_path, compact_id);
        if (through_helper.result != wow64::not_delegated) {
            return {through_helper.result, through_helper.error};
        }
    }
    const int result = qv7_installdevice(inf_path, compact_id);
    return {result, GetLastError()};
}

driver_package::outcome stage_package(const char* inf_path, std::wstring_view helpers) {
    return package_call(wow64::operation::stage, inf_path, helpers);
}

driver_package::outcome remove_package(const char* operand, std::wstring_view helpers) {
    return package_call(wow64::operation::remove, operand, helpers);
}

}  // namespace custom_action
