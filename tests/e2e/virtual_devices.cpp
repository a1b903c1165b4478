#include "tests/e2e/virtual_devices.h"

#include "platform/unique_handle.h"

#include <cfgmgr32.h>
#include <devguid.h>
#include <windows.h>
#include <setupapi.h>

#include <utility>

namespace e2e {
namespace {

// The class the virtual devices are created in. Its INF "Class" line names
// the same class, so the class installer accepts drivers for them.
constexpr const char* device_class_name = "System";
constexpr DWORD hardware_id_buffer_size = 8192;
constexpr DWORD text_buffer_size = 1024;

std::string read_property_text(HDEVINFO set, SP_DEVINFO_DATA& dev, DWORD property) {
    char buffer[hardware_id_buffer_size] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(set, &dev, property, nullptr,
                                           reinterpret_cast<BYTE*>(buffer),
                                           sizeof buffer - 2, nullptr)) {
        return {};
    }
    return std::string(buffer);  // first entry of a multi-string
}

std::string read_key_text(HKEY key, const std::string& name) {
    char buffer[text_buffer_size] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS || type != REG_SZ) {
        return {};
    }
    return std::string(buffer);
}

// Opens one device by its instance ID in a set of its own.
bool open_device(const std::string& instance_id, platform::unique_hdevinfo& set,
                 SP_DEVINFO_DATA& dev) {
    set.reset(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    if (!set.valid()) return false;
    dev = {};
    dev.cbSize = sizeof dev;
    return SetupDiOpenDeviceInfoA(set.get(), instance_id.c_str(), nullptr, 0, &dev) != FALSE;
}

}  // namespace

std::vector<present_device> list_present_devices() {
    std::vector<present_device> devices;
    platform::unique_hdevinfo set{
        SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES)};
    if (!set.valid()) return devices;
    SP_DEVINFO_DATA dev{};
    for (DWORD index = 0;; ++index) {
        dev.cbSize = sizeof dev;
        if (!SetupDiEnumDeviceInfo(set.get(), index, &dev)) break;
        char id[MAX_DEVICE_ID_LEN + 1] = {};
        SetupDiGetDeviceInstanceIdA(set.get(), &dev, id, sizeof id, nullptr);
        devices.push_back({id, read_property_text(set.get(), dev, SPDRP_HARDWAREID)});
    }
    return devices;
}

int enumeration_position(const std::vector<present_device>& devices,
                         const std::string& instance_id) {
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (lstrcmpiA(devices[i].instance_id.c_str(), instance_id.c_str()) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bound_driver read_bound_driver(const std::string& instance_id, const std::string& marker_value) {
    bound_driver result;
    platform::unique_hdevinfo set;
    SP_DEVINFO_DATA dev{};
    if (!open_device(instance_id, set, dev)) return result;
    result.present = true;
    result.driver_key = read_property_text(set.get(), dev, SPDRP_DRIVER);
    result.description = read_property_text(set.get(), dev, SPDRP_DEVICEDESC);
    if (result.driver_key.empty()) return result;
    const platform::unique_hkey key{
        SetupDiOpenDevRegKey(set.get(), &dev, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ)};
    if (!key) return result;
    result.inf_path = read_key_text(key.get(), "InfPath");
    result.marker = read_key_text(key.get(), marker_value);
    for (DWORD index = 0;; ++index) {
        char name[256] = {};
        char data[text_buffer_size] = {};
        DWORD name_size = sizeof name;
        DWORD data_size = sizeof data - 1;
        DWORD type = 0;
        if (RegEnumValueA(key.get(), index, name, &name_size, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &data_size) != ERROR_SUCCESS) {
            break;
        }
        if (type == REG_SZ) result.values.emplace_back(name, data);
    }
    return result;
}

bool remove_device(const std::string& instance_id) {
    platform::unique_hdevinfo set;
    SP_DEVINFO_DATA dev{};
    if (!open_device(instance_id, set, dev)) return false;
    return SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &dev) != FALSE;
}

bool install_driver(const std::string& instance_id, const std::string& inf_path) {
    platform::unique_hdevinfo set;
    SP_DEVINFO_DATA dev{};
    SP_DEVINSTALL_PARAMS_A params{};
    params.cbSize = sizeof params;
    if (!open_device(instance_id, set, dev) ||
        !SetupDiGetDeviceInstallParamsA(set.get(), &dev, &params) ||
        inf_path.size() >= sizeof params.DriverPath) {
        return false;
    }
    params.Flags |= DI_ENUMSINGLEINF;
    lstrcpyA(params.DriverPath, inf_path.c_str());
    return SetupDiSetDeviceInstallParamsA(set.get(), &dev, &params) &&
           SetupDiBuildDriverInfoList(set.get(), &dev, SPDIT_COMPATDRIVER) &&
           SetupDiCallClassInstaller(DIF_SELECTBESTCOMPATDRV, set.get(), &dev) &&
           SetupDiCallClassInstaller(DIF_INSTALLDEVICE, set.get(), &dev);
}

std::optional<virtual_device> virtual_device::create(const std::vector<std::string>& hardware_ids,
                                                     std::string& error) {
    GUID class_guid = GUID_DEVCLASS_SYSTEM;
    platform::unique_hdevinfo set{SetupDiCreateDeviceInfoList(&class_guid, nullptr)};
    if (!set.valid()) {
        error = "SetupDiCreateDeviceInfoList failed";
        return std::nullopt;
    }
    SP_DEVINFO_DATA dev{};
    dev.cbSize = sizeof dev;
    if (!SetupDiCreateDeviceInfoA(set.get(), device_class_name, &class_guid, nullptr, nullptr,
                                  DICD_GENERATE_ID, &dev)) {
        error = "SetupDiCreateDeviceInfoA failed, error " + std::to_string(GetLastError());
        return std::nullopt;
    }
    // SPDRP_HARDWAREID is a multi-string: each ID zero-terminated, then one more zero.
    std::string multi;
    for (const auto& id : hardware_ids) {
        multi += id;
        multi += '\0';
    }
    multi += '\0';
    if (!SetupDiSetDeviceRegistryPropertyA(set.get(), &dev, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(multi.data()),
                                           static_cast<DWORD>(multi.size()))) {
        error = "setting SPDRP_HARDWAREID failed, error " + std::to_string(GetLastError());
        return std::nullopt;
    }
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set.get(), &dev)) {
        error = "DIF_REGISTERDEVICE failed, error " + std::to_string(GetLastError());
        return std::nullopt;
    }
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    if (!SetupDiGetDeviceInstanceIdA(set.get(), &dev, id, sizeof id, nullptr)) {
        error = "SetupDiGetDeviceInstanceIdA failed";
        return std::nullopt;
    }
    return virtual_device(id);
}

virtual_device virtual_device::adopt(std::string instance_id) {
    return virtual_device(std::move(instance_id));
}

virtual_device::virtual_device(virtual_device&& other) noexcept
    : instance_id_(std::exchange(other.instance_id_, {})) {}

virtual_device& virtual_device::operator=(virtual_device&& other) noexcept {
    if (this != &other) {
        remove();
        instance_id_ = std::exchange(other.instance_id_, {});
    }
    return *this;
}

virtual_device::~virtual_device() { remove(); }

bool virtual_device::remove() {
    if (instance_id_.empty()) return true;
    bool removed = remove_device(instance_id_);
    instance_id_.clear();
    return removed;
}

std::string virtual_device::release() { return std::exchange(instance_id_, {}); }

}  // namespace e2e
