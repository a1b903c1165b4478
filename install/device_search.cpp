// The device search: the last present device whose compact ID matches.
#include "install/ID_MAIN2.h"
#include "install/unique_resource.h"

#include "idconv/id_conv.h"

#include <array>
#include <cstring>

namespace ID_MAIN2 {

std::string wanted_compact_id;
std::string found_instance_id;

namespace {

// Text up to the first zero byte, never past the buffer.
template <std::size_t N>
std::string text_of(const std::array<char, N>& buffer) {
    const void* zero = std::memchr(buffer.data(), 0, N);
    const std::size_t length =
        zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - buffer.data()) : N;
    return std::string(buffer.data(), length);
}

}  // namespace

void find_device_instance_id(std::string_view wanted) {
    wanted_compact_id.assign(wanted.data(), wanted.size());
    // Release the previous text, not only its length.
    std::string().swap(found_instance_id);
    enum_present_devices(match_device);
}

void enum_present_devices(device_step step) {
    const install::unique_hdevinfo set{
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
        step(set.get(), element);
    }
}

std::string read_device_registry_string(HDEVINFO set, SP_DEVINFO_DATA& element, DWORD property) {
    std::array<char, hardware_id_buffer_size> buffer{};
    DWORD value_type = 0;
    DWORD required_size = 0;
    SetupDiGetDeviceRegistryPropertyA(set, &element, property, &value_type,
                                      reinterpret_cast<PBYTE>(buffer.data()),
                                      hardware_id_buffer_size, &required_size);
    return text_of(buffer);
}

std::string read_device_instance_id(HDEVINFO set, SP_DEVINFO_DATA& element) {
    std::array<char, instance_id_buffer_size> buffer{};
    DWORD required_size = 0;
    SetupDiGetDeviceInstanceIdA(set, &element, buffer.data(), instance_id_buffer_size,
                                &required_size);
    return text_of(buffer);
}

bool device_matches(std::string_view wanted, std::string_view device_compact_id) {
    return !device_compact_id.empty() && idconv::compact_ids_match(wanted, device_compact_id);
}

void match_device(HDEVINFO set, SP_DEVINFO_DATA& element) {
    const idconv::compact_id compact_id =
        idconv::build_compact_id(read_device_registry_string(set, element, SPDRP_HARDWAREID));
    if (!device_matches(wanted_compact_id, compact_id)) {
        return;
    }
    // A later match whose instance ID cannot be read leaves the result empty.
    found_instance_id = read_device_instance_id(set, element);
}

}  // namespace ID_MAIN2
