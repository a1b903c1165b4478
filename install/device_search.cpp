// The device search: the last present device whose compact ID matches.
#include "install/ID_MAIN2.h"

#include "idconv/id_conv.h"
#include "platform/unique_handle.h"

namespace ID_MAIN2 {

kept_text wanted_compact_id;
instance_id_text found_instance_id;

bool start_search(std::string_view wanted) {
    found_instance_id.clear();
    return wanted_compact_id.assign(wanted);
}

bool find_device_instance_id(std::string_view wanted) {
    if (!start_search(wanted)) {
        return false;
    }
    enum_present_devices(match_device);
    return true;
}

void walk_present_devices(device_callback callback, void* context) {
    const platform::unique_hdevinfo set{
        SetupDiGetClassDevsA(nullptr, nullptr, nullptr, present_devices_of_all_classes)};
    if (!set) {
        return;
    }
    SP_DEVINFO_DATA element{};
    for (DWORD index = 0;; ++index) {
        element.cbSize = platform::devinfo_data_size;
        if (!SetupDiEnumDeviceInfo(set.get(), index, &element)) {
            break;  // end of the list, or an error: the walk ends either way
        }
        callback(set.get(), element, context);
    }
}

void enum_present_devices(device_step step) { walk_present_devices(step); }

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
}

}  // namespace ID_MAIN2
