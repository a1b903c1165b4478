#include "install/custom_action/driver_calls.h"

#include "include/quorvant.h"

namespace custom_action {

installed install_driver(const char* inf_path, const char* compact_id) {
    const int result = qv7_installdevice(inf_path, compact_id);
    return {result, GetLastError()};
}

driver_package::outcome stage_package(const char* inf_path) { return driver_package::stage(inf_path); }

driver_package::outcome remove_package(const char* operand) { return driver_package::remove(operand); }

}  // namespace custom_action
