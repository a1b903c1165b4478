// The device search: the last present device whose compact ID matches.
#include "install/ID_MAIN2.h"

#include "idconv/id_conv.h"
#include "include/quorvant.h"
#include "platform/unique_handle.h"

namespace ID_MAIN2 {

kept_text wanted_compact_id;
instance_id_text found_instance_id;

namespace {
// The error of reading the last match's instance ID; 0 when it was read.
DWORD found_read_error = 0;
}  // namespace

search_result find_device_instance_id(std::string_view wanted, const step_sink* sink,
                                      device_visitor also) {
    found_instance_id.clear();
    found_read_error = 0;
    if (!wanted_compact_id.assign(wanted)) {
        return {{QV7_E_OUT_OF_MEMORY, ERROR_NOT_ENOUGH_MEMORY}, {}};
    }
    const walk_end walk = walk_present_devices(
        [](HDEVINFO set, SP_DEVINFO_DATA& element, void* context) {
            match_device(set, element);
            const auto* visitor = static_cast<const device_visitor*>(context);
            if (visitor->visit) {
                visitor->visit(set, element, visitor->context);
            }
        },
        &also);
    const std::string_view found = found_instance_id.view();
    const outcome end{found.empty() ? QV7_E_NO_DEVICE : proceed,
                      !found.empty()    ? 0
                      : found_read_error ? found_read_error
                                         : walk.error};
    if (sink) {
        sink->report(sink->context, {step::devices_listed, walk.listed, walk.listed ? 0 : walk.error,
                                     {}, walk.devices, nullptr, nullptr});
        sink->report(sink->context, {step::device_chosen, !found.empty(), end.error, found,
                                     walk.devices, nullptr, nullptr});
    }
    return {end, found};
}

walk_end walk_present_devices(device_callback callback, void* context) {
    platform::unique_hdevinfo set{
        SetupDiGetClassDevsA(nullptr, nullptr, nullptr, present_devices_of_all_classes)};
    if (!set) {
        return {false, 0, GetLastError()};
    }
    SP_DEVINFO_DATA element{};
    for (DWORD index = 0;; ++index) {
        element.cbSize = platform::devinfo_data_size;
        if (!SetupDiEnumDeviceInfo(set.get(), index, &element)) {
            // The end of the list, or an error: the walk ends either way,
            // and its set is released at once, keeping the walk's error.
            const DWORD error = GetLastError();
            SetupDiDestroyDeviceInfoList(set.release());
            return {true, index, error};
        }
        callback(set.get(), element, context);
    }
}

property_text read_device_registry_string(HDEVINFO set, SP_DEVINFO_DATA& element, DWORD property) {
    property_text text;
    DWORD value_type = 0;
    DWORD required_size = 0;
    const BOOL read = SetupDiGetDeviceRegistryPropertyA(
        set, &element, property, &value_type, reinterpret_cast<PBYTE>(text.prepare_read()),
        property_text::buffer_size, &required_size);
    text.take_read(read != FALSE);
    return text;
}

instance_id_text read_device_instance_id(HDEVINFO set, SP_DEVINFO_DATA& element) {
    instance_id_text text;
    DWORD required_size = 0;
    const BOOL read = SetupDiGetDeviceInstanceIdA(set, &element, text.prepare_read(),
                                                  instance_id_text::buffer_size, &required_size);
    text.take_read(read != FALSE);
    return text;
}

bool device_matches(std::string_view wanted, std::string_view device_compact_id) {
    return !device_compact_id.empty() && idconv::compact_ids_match(wanted, device_compact_id);
}

void match_device(HDEVINFO set, SP_DEVINFO_DATA& element) {
    const idconv::compact_id compact_id =
        idconv::build_compact_id(read_device_registry_string(set, element, SPDRP_HARDWAREID).view());
    if (!device_matches(wanted_compact_id.view(), compact_id)) {
        return;
    }
    // A later match whose instance ID cannot be read leaves the result empty.
    found_instance_id = read_device_instance_id(set, element);
    found_read_error = found_instance_id.empty() ? GetLastError() : 0;
}

}  // namespace ID_MAIN2
