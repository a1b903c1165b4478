// The simulated platform: Setup API, kernel services and NEWDEV.DLL over an
// in-process model of a machine.
#include "tests/sim/sim_control.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace sim {
namespace {

constexpr std::uintptr_t first_set_handle = 0x1000;
constexpr std::uintptr_t first_module_handle = 0x7000;
constexpr std::uintptr_t first_key_handle = 0xA000;
constexpr std::string_view inf_folder_name = "\\INF\\";
constexpr std::uintptr_t handle_step = 0x10;
// The records' size fields the simulation accepts: the 32-bit layouts.
constexpr DWORD devinfo_size = platform::layout_32_bit.devinfo_data;
constexpr DWORD params_size = platform::layout_32_bit.install_params;
constexpr DWORD drvinfo_size = platform::layout_32_bit.driver_info;
constexpr DWORD reg_multi_sz = 7;
constexpr DWORD error_file_not_found = ERROR_FILE_NOT_FOUND;
constexpr DWORD error_no_compat_drivers = ERROR_NO_COMPAT_DRIVERS;
constexpr std::string_view newdev_file = "\\NEWDEV.DLL";
constexpr std::uintptr_t process_heap = 0x9000;

struct member {
    std::size_t device = 0;
    SP_DEVINSTALL_PARAMS_A params{};
    std::vector<std::pair<std::string, driver>> driver_list;  // INF path, driver
    std::optional<std::size_t> selected_driver;
};

struct device_set {
    bool live = true;
    bool walk = false;
    bool all_devices = false;  // a walk over present and non-present devices
    std::vector<member> members;
    std::optional<std::size_t> selected_member;
};

struct machine {
    state visible;
    std::map<std::uintptr_t, device_set> sets;
    std::map<std::uintptr_t, bool> modules;  // handle -> live
    std::map<std::uintptr_t, std::size_t> keys;  // live driver key -> device
    std::uintptr_t next_set = first_set_handle;
    std::uintptr_t next_module = first_module_handle;
    std::uintptr_t next_key = first_key_handle;
    DWORD last_error = 0;
};

machine& the_machine() {
    static machine m;
    return m;
}

thread_local int platform_depth = 0;

// Marks a platform operation: entered, logged, and the last error cleared,
// so a caller that reads the last error late sees another value. The
// arguments are taken as a list and a view and copied only once the
// operation counts as entered, so every allocation of the log is the
// simulation's own (inside_platform_call() is true for it).
class operation {
public:
    operation(const char* op, void* handle, std::initializer_list<std::uintptr_t> values,
              std::string_view text = {})
        : name_(op), index_(enter()) {
        the_machine().visible.log.push_back(
            call{op, handle, std::vector<std::uintptr_t>(values), std::string(text), 0});
        the_machine().last_error = ERROR_SUCCESS;
    }
    operation(const operation&) = delete;
    operation& operator=(const operation&) = delete;
    ~operation() { --platform_depth; }

    template <typename T>
    T result(T value) {
        the_machine().visible.log[index_].result = to_value(value);
        return value;
    }
    BOOL fail(DWORD error) {
        the_machine().last_error = error;
        return result<BOOL>(FALSE);
    }

    // The opening checks of an operation on a set, and on one of its
    // members: the live set `handle` names, and the member `element` names
    // in it. Each is null, with the operation failed as the platform fails
    // it, when there is none.
    device_set* set(HDEVINFO handle);
    member* member_of(HDEVINFO handle, const SP_DEVINFO_DATA* element, device_set** owner = nullptr);

private:
    static std::size_t enter() {
        ++platform_depth;
        return the_machine().visible.log.size();
    }
    template <typename T>
    static std::uintptr_t to_value(T value) {
        if constexpr (std::is_pointer_v<T>) {
            return reinterpret_cast<std::uintptr_t>(value);
        } else {
            return static_cast<std::uintptr_t>(value);
        }
    }
    const char* name_;
    std::size_t index_;
};

std::uintptr_t addr(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

device_set* live_set(HDEVINFO handle, const char* op) {
    auto& m = the_machine();
    const auto it = m.sets.find(addr(handle));
    if (it == m.sets.end() || !it->second.live) {
        m.visible.bad_handle_uses.push_back(op);
        return nullptr;
    }
    return &it->second;
}

// The member an element names: right size, from this set, still in it.
member* member_of(device_set& set, HDEVINFO handle, const SP_DEVINFO_DATA* element) {
    if (!element || element->cbSize != devinfo_size ||
        element->Reserved != static_cast<std::uint32_t>(addr(handle))) {
        return nullptr;
    }
    for (member& mem : set.members) {
        if (mem.device + 1 == element->DevInst) {
            return &mem;
        }
    }
    return nullptr;
}

device_set* operation::set(HDEVINFO handle) {
    device_set* found = live_set(handle, name_);
    if (!found) {
        fail(ERROR_INVALID_HANDLE);
    }
    return found;
}

member* operation::member_of(HDEVINFO handle, const SP_DEVINFO_DATA* element, device_set** owner) {
    device_set* found = set(handle);
    if (!found) {
        return nullptr;
    }
    member* mem = sim::member_of(*found, handle, element);
    if (!mem) {
        fail(ERROR_INVALID_PARAMETER);
    }
    if (owner) {
        *owner = found;
    }
    return mem;
}

// A failing read: junk in the buffer when the fault says so, then failure.
BOOL fail_read(operation& op, void* buffer, std::size_t size, DWORD error) {
    const std::string& junk = the_machine().visible.fault.failed_read_writes;
    if (buffer && !junk.empty()) {
        std::memcpy(buffer, junk.data(), std::min(junk.size(), size));
    }
    return op.fail(error);
}

// Heap blocks over the whole run; plain counters, so that blocks freed by
// static destructors at exit find them still there.
long heap_blocks_allocated = 0;
long heap_blocks_freed = 0;

void fill_element(SP_DEVINFO_DATA* element, HDEVINFO handle, std::size_t device) {
    element->ClassGuid = GUID{0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    element->DevInst = static_cast<DWORD>(device + 1);
    element->Reserved = static_cast<std::uint32_t>(addr(handle));
}

HDEVINFO new_set(bool walk, bool present_only = true) {
    auto& m = the_machine();
    const std::uintptr_t handle = m.next_set;
    m.next_set += handle_step;
    device_set set;
    set.walk = walk;
    set.all_devices = walk && !present_only;
    if (walk) {
        for (std::size_t i = 0; i < m.visible.devices.size(); ++i) {
            const device& dev = m.visible.devices[i];
            if (!dev.removed && (dev.present || !present_only)) {
                set.members.push_back(member{i, {}, {}, {}});
            }
        }
    }
    m.sets.emplace(handle, std::move(set));
    ++m.visible.sets_created;
    return reinterpret_cast<HDEVINFO>(handle);
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// `path` made absolute against `current` as the platform does it: a path
// with a drive and a backslash stands alone, one beginning with a backslash
// takes the drive of `current`, any other is appended to `current`; "/"
// becomes "\\", and "." and ".." segments are resolved.
std::string full_path(const std::string& current, std::string_view path) {
    std::string joined(path);
    std::replace(joined.begin(), joined.end(), '/', '\\');
    if (joined.size() >= 3 && joined[1] == ':' && joined[2] == '\\') {
        // absolute already
    } else if (!joined.empty() && joined[0] == '\\') {
        joined = current.substr(0, 2) + joined;
    } else {
        joined = current + "\\" + joined;
    }
    std::vector<std::string> segments;
    std::size_t cursor = 3;  // behind "C:\"
    while (cursor <= joined.size()) {
        const std::size_t end = std::min(joined.find('\\', cursor), joined.size());
        const std::string segment = joined.substr(cursor, end - cursor);
        if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        cursor = end + 1;
    }
    std::string full = joined.substr(0, 2);
    for (const std::string& segment : segments) {
        full += "\\" + segment;
    }
    return full.size() == 2 ? full + "\\" : full;
}

std::vector<std::string> ids_of(const device& dev) {
    std::vector<std::string> ids;
    if (!dev.hardware_ids) {
        return ids;
    }
    std::string_view rest = *dev.hardware_ids;
    while (!rest.empty() && rest.front() != '\0') {
        const std::size_t end = std::min(rest.find('\0'), rest.size());
        ids.emplace_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return ids;
}

// The entry of the system's INF folder named `name` (case-blind).
std::map<std::string, std::string>::iterator published_entry(std::string_view name) {
    auto& folder = the_machine().visible.inf_folder;
    return std::find_if(folder.begin(), folder.end(),
                        [&](const auto& entry) { return upper(entry.first) == upper(name); });
}

BOOL WINAPI sim_install_selected_driver(HWND parent, HDEVINFO handle, LPCSTR reserved, BOOL backup,
                                        PDWORD reboot) {
    auto& m = the_machine();
    operation op("InstallSelectedDriver", handle,
                 {addr(parent), addr(reserved), static_cast<std::uintptr_t>(static_cast<DWORD>(backup)),
                  addr(reboot)});
    install_call seen;
    seen.parent = parent;
    seen.set = handle;
    seen.reserved_null = reserved == nullptr;
    seen.backup = backup;
    seen.reboot_word_zero = reboot && *reboot == 0;
    device_set* set = live_set(handle, "InstallSelectedDriver");
    member* chosen = nullptr;
    if (set) {
        seen.devices_in_set = set->members.size();
        if (set->selected_member) {
            chosen = &set->members[*set->selected_member];
            seen.selected_device = m.visible.devices[chosen->device].instance_id;
            if (chosen->selected_driver) {
                const auto& [inf, drv] = chosen->driver_list[*chosen->selected_driver];
                seen.selected_inf = inf;
                seen.selected_driver = drv.description;
            }
        }
    }
    m.visible.install_calls.push_back(seen);

    const newdev_behaviour& behaviour = m.visible.newdev;
    // Like the real installer, it acts on the set's selected device and
    // that device's selected driver, and fails without them.
    if (!set) {
        return op.fail(ERROR_INVALID_HANDLE);
    }
    if (!chosen) {
        return op.fail(ERROR_NO_DEVICE_SELECTED);
    }
    if (!chosen->selected_driver) {
        return op.fail(ERROR_NO_DRIVER_SELECTED);
    }
    if (!behaviour.result) {
        return op.fail(behaviour.last_error);
    }
    if (reboot) {
        *reboot = behaviour.reboot;
    }
    if (behaviour.installs) {
        device& dev = m.visible.devices[chosen->device];
        dev.bound_inf = seen.selected_inf;
        dev.bound_driver = seen.selected_driver;
    }
    return op.result(behaviour.result);
}

}  // namespace

std::string multi_sz(const std::vector<std::string>& ids) {
    std::string out;
    for (const std::string& id : ids) {
        out += id;
        out += '\0';
    }
    out += '\0';
    return out;
}

std::vector<std::string> state::ops() const {
    std::vector<std::string> names;
    names.reserve(log.size());
    for (const call& c : log) {
        names.push_back(c.op);
    }
    return names;
}

std::size_t state::count(const std::string& op) const {
    return static_cast<std::size_t>(
        std::count_if(log.begin(), log.end(), [&op](const call& c) { return c.op == op; }));
}

state& platform() { return the_machine().visible; }

void reset() { the_machine() = machine{}; }

std::size_t add_device(const std::string& instance_id, const std::vector<std::string>& hardware_ids) {
    auto& devices = platform().devices;
    device dev;
    dev.instance_id = instance_id;
    dev.hardware_ids = multi_sz(hardware_ids);
    devices.push_back(dev);
    return devices.size() - 1;
}

std::size_t add_device_without_hardware_id(const std::string& instance_id) {
    auto& devices = platform().devices;
    device dev;
    dev.instance_id = instance_id;
    devices.push_back(dev);
    return devices.size() - 1;
}

bool inside_platform_call() { return platform_depth > 0; }

long live_heap_blocks() { return heap_blocks_allocated - heap_blocks_freed; }

}  // namespace sim

using sim::operation;
using sim::the_machine;

HDEVINFO SetupDiGetClassDevsA(const GUID* class_guid, PCSTR enumerator, HWND parent, DWORD flags) {
    operation op("SetupDiGetClassDevsA", nullptr,
                 {sim::addr(class_guid), sim::addr(enumerator), sim::addr(parent), flags});
    if (the_machine().visible.fault.get_class_devs) {
        op.fail(ERROR_INVALID_PARAMETER);
        return op.result(INVALID_HANDLE_VALUE);
    }
    return op.result(sim::new_set(true, (flags & DIGCF_PRESENT) != 0));
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO handle, DWORD index, PSP_DEVINFO_DATA element) {
    operation op("SetupDiEnumDeviceInfo", handle,
                 {index, element ? element->cbSize : 0u});
    sim::device_set* set = op.set(handle);
    if (!set) {
        return FALSE;
    }
    if (!element || element->cbSize != sim::devinfo_size) {
        return op.fail(ERROR_INVALID_USER_BUFFER);
    }
    const auto& fault = the_machine().visible.fault;
    if ((fault.enum_fails_at_index && *fault.enum_fails_at_index == index) ||
        (set->all_devices && fault.enum_all_devices_fails && index == set->members.size())) {
        return op.fail(ERROR_INVALID_DATA);
    }
    if (index >= set->members.size()) {
        return op.fail(ERROR_NO_MORE_ITEMS);
    }
    sim::fill_element(element, handle, set->members[index].device);
    return op.result<BOOL>(TRUE);
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO handle, PSP_DEVINFO_DATA element, DWORD property,
                                       PDWORD value_type, PBYTE buffer, DWORD buffer_size,
                                       PDWORD required_size) {
    operation op("SetupDiGetDeviceRegistryPropertyA", handle,
                 {property, sim::addr(value_type), sim::addr(buffer), buffer_size,
                  sim::addr(required_size)});
    sim::member* mem = op.member_of(handle, element);
    if (!mem) {
        return FALSE;
    }
    const sim::device& dev = the_machine().visible.devices[mem->device];
    if (property != SPDRP_HARDWAREID || !dev.hardware_ids ||
        the_machine().visible.fault.property_read_fails.count(mem->device)) {
        return sim::fail_read(op, buffer, buffer_size, ERROR_INVALID_DATA);
    }
    const std::string& data = *dev.hardware_ids;
    if (required_size) {
        *required_size = static_cast<DWORD>(data.size());
    }
    if (value_type) {
        *value_type = sim::reg_multi_sz;
    }
    if (data.size() > buffer_size) {
        return sim::fail_read(op, buffer, buffer_size, ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, data.data(), data.size());
    return op.result<BOOL>(TRUE);
}

BOOL SetupDiGetDeviceInstanceIdA(HDEVINFO handle, PSP_DEVINFO_DATA element, PSTR buffer,
                                 DWORD buffer_size, PDWORD required_size) {
    operation op("SetupDiGetDeviceInstanceIdA", handle,
                 {sim::addr(buffer), buffer_size, sim::addr(required_size)});
    sim::member* mem = op.member_of(handle, element);
    if (!mem) {
        return FALSE;
    }
    if (the_machine().visible.fault.instance_id_read_fails.count(mem->device)) {
        return sim::fail_read(op, buffer, buffer_size, ERROR_INVALID_DATA);
    }
    const std::string& id = the_machine().visible.devices[mem->device].instance_id;
    if (required_size) {
        *required_size = static_cast<DWORD>(id.size() + 1);
    }
    if (id.size() + 1 > buffer_size) {
        return sim::fail_read(op, buffer, buffer_size, ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, id.c_str(), id.size() + 1);
    return op.result<BOOL>(TRUE);
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
    operation op("SetupDiDestroyDeviceInfoList", handle, {});
    sim::device_set* set = op.set(handle);
    if (!set) {
        return FALSE;
    }
    set->live = false;
    ++the_machine().visible.sets_destroyed;
    return op.result<BOOL>(TRUE);
}

HDEVINFO SetupDiCreateDeviceInfoList(const GUID* class_guid, HWND parent) {
    operation op("SetupDiCreateDeviceInfoList", nullptr, {sim::addr(class_guid), sim::addr(parent)});
    if (the_machine().visible.fault.create_device_info_list) {
        op.fail(ERROR_INVALID_PARAMETER);
        return op.result(INVALID_HANDLE_VALUE);
    }
    return op.result(sim::new_set(false));
}

BOOL SetupDiOpenDeviceInfoA(HDEVINFO handle, PCSTR instance_id, HWND parent, DWORD open_flags,
                            PSP_DEVINFO_DATA element) {
    operation op("SetupDiOpenDeviceInfoA", handle, {sim::addr(parent), open_flags, sim::addr(element)},
                 instance_id ? instance_id : "");
    auto& m = the_machine();
    sim::device_set* set = op.set(handle);
    if (!set) {
        return FALSE;
    }
    if (!element || element->cbSize != sim::devinfo_size) {
        return op.fail(ERROR_INVALID_USER_BUFFER);
    }
    if (m.visible.fault.open_device_info || !instance_id) {
        return op.fail(ERROR_NO_SUCH_DEVINST);
    }
    const std::string wanted = sim::upper(instance_id);
    for (std::size_t i = 0; i < m.visible.devices.size(); ++i) {
        const sim::device& dev = m.visible.devices[i];
        if (dev.present && sim::upper(dev.instance_id) == wanted) {
            sim::member mem;
            mem.device = i;
            mem.params = m.visible.initial_install_params;
            mem.params.cbSize = sim::params_size;
            set->members.push_back(mem);
            sim::fill_element(element, handle, i);
            return op.result<BOOL>(TRUE);
        }
    }
    return op.fail(ERROR_NO_SUCH_DEVINST);
}

BOOL SetupDiSetSelectedDevice(HDEVINFO handle, PSP_DEVINFO_DATA element) {
    operation op("SetupDiSetSelectedDevice", handle, {sim::addr(element)});
    sim::device_set* set = nullptr;
    sim::member* mem = op.member_of(handle, element, &set);
    if (!mem) {
        return FALSE;
    }
    if (the_machine().visible.fault.set_selected_device) {
        return op.fail(ERROR_INVALID_PARAMETER);
    }
    set->selected_member = static_cast<std::size_t>(mem - set->members.data());
    return op.result<BOOL>(TRUE);
}

BOOL SetupDiGetDeviceInstallParamsA(HDEVINFO handle, PSP_DEVINFO_DATA element,
                                    PSP_DEVINSTALL_PARAMS_A params) {
    operation op("SetupDiGetDeviceInstallParamsA", handle,
                 {sim::addr(element), params ? params->cbSize : 0u});
    sim::member* mem = op.member_of(handle, element);
    if (!mem) {
        return FALSE;
    }
    if (!params || the_machine().visible.fault.get_install_params) {
        return op.fail(ERROR_INVALID_PARAMETER);
    }
    if (params->cbSize != sim::params_size) {
        return op.fail(ERROR_INVALID_USER_BUFFER);
    }
    *params = mem->params;
    return op.result<BOOL>(TRUE);
}

BOOL SetupDiSetDeviceInstallParamsA(HDEVINFO handle, PSP_DEVINFO_DATA element,
                                    PSP_DEVINSTALL_PARAMS_A params) {
    operation op("SetupDiSetDeviceInstallParamsA", handle,
                 {sim::addr(element), params ? params->cbSize : 0u},
                 params ? std::string_view(params->DriverPath, strnlen(params->DriverPath, MAX_PATH))
                        : std::string_view());
    auto& m = the_machine();
    sim::member* mem = op.member_of(handle, element);
    if (!mem) {
        return FALSE;
    }
    if (!params || m.visible.fault.set_install_params) {
        return op.fail(ERROR_INVALID_PARAMETER);
    }
    if (params->cbSize != sim::params_size) {
        return op.fail(ERROR_INVALID_USER_BUFFER);
    }
    m.visible.stored_install_params.push_back(*params);
    mem->params = *params;
    return op.result<BOOL>(TRUE);
}

BOOL SetupDiBuildDriverInfoList(HDEVINFO handle, PSP_DEVINFO_DATA element, DWORD driver_type) {
    operation op("SetupDiBuildDriverInfoList", handle, {sim::addr(element), driver_type});
    auto& m = the_machine();
    sim::member* mem = op.member_of(handle, element);
    if (!mem) {
        return FALSE;
    }
    if (driver_type != SPDIT_COMPATDRIVER || m.visible.fault.build_driver_info_list) {
        return op.fail(ERROR_INVALID_PARAMETER);
    }
    const std::vector<std::string> ids = sim::ids_of(m.visible.devices[mem->device]);
    auto add_from = [&](const std::string& path, const sim::inf_file& inf) {
        if (!inf.readable) {
            return;
        }
        for (const sim::driver& drv : inf.drivers) {
            const bool compatible = std::any_of(ids.begin(), ids.end(), [&](const std::string& id) {
                return sim::upper(id) == sim::upper(drv.hardware_id);
            });
            if (compatible) {
                mem->driver_list.emplace_back(path, drv);
            }
        }
    };
    mem->driver_list.clear();
    mem->selected_driver.reset();
    if (mem->params.Flags & DI_ENUMSINGLEINF) {
        const std::string path(mem->params.DriverPath, strnlen(mem->params.DriverPath, MAX_PATH));
        const auto it = m.visible.infs.find(path);
        if (it == m.visible.infs.end()) {
            return op.fail(sim::error_file_not_found);
        }
        add_from(it->first, it->second);
    } else {
        for (const auto& [path, inf] : m.visible.infs) {
            if (inf.in_system_inf_folder) {
                add_from(path, inf);
            }
        }
    }
    return op.result<BOOL>(TRUE);
}

BOOL SetupDiCallClassInstaller(DWORD function, HDEVINFO handle, PSP_DEVINFO_DATA element) {
    operation op("SetupDiCallClassInstaller", handle, {function, sim::addr(element)});
    auto& m = the_machine();
    sim::member* mem = op.member_of(handle, element);
    if (!mem) {
        return FALSE;
    }
    if (function == DIF_REMOVE) {
        sim::device& dev = m.visible.devices[mem->device];
        if (dev.remove_error) {
            return op.fail(*dev.remove_error);
        }
        dev.removed = true;
        dev.present = false;
        dev.driver_inf.clear();
        mem->params.Flags |= dev.remove_flags;
        return op.result<BOOL>(TRUE);
    }
    if (function != DIF_SELECTBESTCOMPATDRV || m.visible.fault.call_class_installer) {
        return op.fail(ERROR_INVALID_PARAMETER);
    }
    const bool allow_excluded = (mem->params.FlagsEx & DI_FLAGSEX_ALLOWEXCLUDEDDRVS) != 0;
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < mem->driver_list.size(); ++i) {
        const sim::driver& drv = mem->driver_list[i].second;
        if (drv.excluded_from_select && !allow_excluded) {
            continue;
        }
        if (!best || drv.rank_version > mem->driver_list[*best].second.rank_version) {
            best = i;
        }
    }
    if (!best) {
        return op.fail(sim::error_no_compat_drivers);
    }
    mem->selected_driver = best;
    return op.result<BOOL>(TRUE);
}

BOOL SetupDiGetSelectedDriverA(HDEVINFO handle, PSP_DEVINFO_DATA element, PSP_DRVINFO_DATA_A driver) {
    operation op("SetupDiGetSelectedDriverA", handle,
                 {sim::addr(element), driver ? driver->cbSize : 0u});
    sim::member* mem = op.member_of(handle, element);
    if (!mem) {
        return FALSE;
    }
    if (!driver) {
        return op.fail(ERROR_INVALID_PARAMETER);
    }
    if (driver->cbSize != sim::drvinfo_size) {
        return op.fail(ERROR_INVALID_USER_BUFFER);
    }
    if (!mem->selected_driver) {
        return op.fail(ERROR_NO_DRIVER_SELECTED);
    }
    const sim::driver& drv = mem->driver_list[*mem->selected_driver].second;
    const std::size_t n = std::min(drv.description.size(), sizeof driver->Description - 1);
    std::memcpy(driver->Description, drv.description.data(), n);
    driver->Description[n] = '\0';
    return op.result<BOOL>(TRUE);
}

HKEY SetupDiOpenDevRegKey(HDEVINFO handle, PSP_DEVINFO_DATA element, DWORD scope, DWORD profile,
                          DWORD key_type, REGSAM access) {
    operation op("SetupDiOpenDevRegKey", handle, {scope, profile, key_type, access});
    auto& m = the_machine();
    const auto invalid = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    sim::member* mem = op.member_of(handle, element);
    if (!mem) {
        return op.result(invalid);
    }
    if (scope != DICS_FLAG_GLOBAL || key_type != DIREG_DRV) {
        op.fail(ERROR_INVALID_PARAMETER);
        return op.result(invalid);
    }
    if (m.visible.devices[mem->device].driver_inf.empty()) {
        op.fail(ERROR_KEY_DOES_NOT_EXIST);
        return op.result(invalid);
    }
    const std::uintptr_t key = m.next_key;
    m.next_key += sim::handle_step;
    m.keys[key] = mem->device;
    ++m.visible.keys_opened;
    return op.result(reinterpret_cast<HKEY>(key));
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, PDWORD reserved, PDWORD type, PBYTE data,
                      PDWORD size) {
    operation op("RegQueryValueExA", key, {sim::addr(reserved), sim::addr(data)},
                 name ? name : "");
    auto& m = the_machine();
    const auto it = m.keys.find(sim::addr(key));
    if (it == m.keys.end()) {
        m.visible.bad_handle_uses.push_back("RegQueryValueExA");
        return op.result(static_cast<LONG>(ERROR_INVALID_HANDLE));
    }
    if (!name || std::string_view(name) != "InfPath") {
        return op.result(static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    }
    if (m.visible.fault.inf_path_read_fails.count(it->second)) {
        return op.result(static_cast<LONG>(ERROR_MORE_DATA));
    }
    const std::string& value = m.visible.devices[it->second].driver_inf;
    const DWORD needed = static_cast<DWORD>(value.size() + 1);
    if (type) {
        *type = REG_SZ;
    }
    if (!size || (data && *size < needed)) {
        if (size) {
            *size = needed;
        }
        return op.result(static_cast<LONG>(ERROR_MORE_DATA));
    }
    if (data) {
        std::memcpy(data, value.c_str(), needed);
    }
    *size = needed;
    return op.result(static_cast<LONG>(ERROR_SUCCESS));
}

LONG RegCloseKey(HKEY key) {
    operation op("RegCloseKey", key, {});
    auto& m = the_machine();
    if (m.keys.erase(sim::addr(key)) == 0) {
        m.visible.bad_handle_uses.push_back("RegCloseKey");
        return op.result(static_cast<LONG>(ERROR_INVALID_HANDLE));
    }
    ++m.visible.keys_closed;
    return op.result(static_cast<LONG>(ERROR_SUCCESS));
}

BOOL SetupCopyOEMInfA(PCSTR source, PCSTR media_location, DWORD media_type, DWORD style,
                      PSTR destination, DWORD destination_size, PDWORD required_size,
                      PSTR* file_part) {
    operation op("SetupCopyOEMInfA", nullptr,
                 {sim::addr(media_location), media_type, style, destination_size},
                 source ? source : "");
    auto& m = the_machine();
    const auto inf = source ? m.visible.infs.find(source) : m.visible.infs.end();
    if (inf == m.visible.infs.end()) {
        return op.fail(ERROR_FILE_NOT_FOUND);
    }
    // A package is staged already when the folder holds an INF staged from
    // the same file.
    auto existing = std::find_if(m.visible.inf_folder.begin(), m.visible.inf_folder.end(),
                                 [&](const auto& entry) { return entry.second == inf->first; });
    const bool exists = existing != m.visible.inf_folder.end();
    std::string name;
    if (exists) {
        name = existing->first;
    } else if ((style & SP_COPY_REPLACEONLY) && !m.visible.fault.copy_ignores_replace_only) {
        return op.fail(ERROR_FILE_NOT_FOUND);
    } else if (!inf->second.readable || inf->second.stage_error != 0) {
        return op.fail(inf->second.readable ? inf->second.stage_error : ERROR_ACCESS_DENIED);
    } else {
        name = "oem" + std::to_string(m.visible.next_oem_number++) + ".inf";
    }
    const std::string path = m.visible.windows_directory + std::string(sim::inf_folder_name) + name;
    if (required_size) {
        *required_size = static_cast<DWORD>(path.size() + 1);
    }
    if (destination) {
        if (destination_size < path.size() + 1) {
            return op.fail(ERROR_INSUFFICIENT_BUFFER);
        }
        std::memcpy(destination, path.c_str(), path.size() + 1);
        if (file_part) {
            *file_part = destination + path.size() - name.size();
        }
    }
    if (exists && (style & SP_COPY_NOOVERWRITE)) {
        return op.fail(ERROR_FILE_EXISTS);
    }
    m.visible.inf_folder[name] = inf->first;
    return op.result<BOOL>(TRUE);
}

BOOL SetupUninstallOEMInfA(PCSTR inf_name, DWORD flags, LPVOID reserved) {
    operation op("SetupUninstallOEMInfA", nullptr, {flags, sim::addr(reserved)},
                 inf_name ? inf_name : "");
    auto& m = the_machine();
    if (m.visible.fault.uninstall_error) {
        return op.fail(*m.visible.fault.uninstall_error);
    }
    const auto entry = sim::published_entry(inf_name ? inf_name : "");
    if (!inf_name || entry == m.visible.inf_folder.end()) {
        return op.fail(ERROR_FILE_NOT_FOUND);
    }
    const bool in_use = std::any_of(m.visible.devices.begin(), m.visible.devices.end(),
                                    [&](const sim::device& dev) {
                                        return sim::upper(dev.driver_inf) == sim::upper(entry->first);
                                    });
    if (in_use && !(flags & SUOI_FORCEDELETE)) {
        return op.fail(ERROR_INF_IN_USE_BY_DEVICES);
    }
    m.visible.inf_folder.erase(entry);
    return op.result<BOOL>(TRUE);
}

DWORD GetFullPathNameA(LPCSTR path, DWORD size, LPSTR buffer, LPSTR* file_part) {
    operation op("GetFullPathNameA", nullptr, {sim::addr(buffer), size, sim::addr(file_part)},
                 path ? path : "");
    if (!path || !*path) {
        op.fail(ERROR_INVALID_PARAMETER);
        return op.result<DWORD>(0);
    }
    const std::string full = sim::full_path(the_machine().visible.current_directory, path);
    if (full.size() + 1 > size) {
        return op.result(static_cast<DWORD>(full.size() + 1));
    }
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    if (file_part) {
        *file_part = buffer + full.rfind('\\') + 1;
    }
    return op.result(static_cast<DWORD>(full.size()));
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    operation op("GetSystemDirectoryA", nullptr, {sim::addr(buffer), size});
    const auto& m = the_machine();
    if (m.visible.fault.get_system_directory) {
        op.fail(ERROR_INVALID_PARAMETER);
        return op.result(0u);
    }
    const std::string& dir = m.visible.system_directory;
    if (dir.size() + 1 > size) {
        return op.result(static_cast<UINT>(dir.size() + 1));
    }
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return op.result(static_cast<UINT>(dir.size()));
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    operation op("GetWindowsDirectoryA", nullptr, {sim::addr(buffer), size});
    const std::string& dir = the_machine().visible.windows_directory;
    if (dir.size() + 1 > size) {
        return op.result(static_cast<UINT>(dir.size() + 1));
    }
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return op.result(static_cast<UINT>(dir.size()));
}

DWORD GetFileAttributesA(LPCSTR path) {
    operation op("GetFileAttributesA", nullptr, {}, path ? path : "");
    const auto& m = the_machine().visible;
    const std::string text = path ? path : "";
    const std::string folder = m.windows_directory + std::string(sim::inf_folder_name);
    const bool in_inf_folder = sim::upper(text.substr(0, folder.size())) == sim::upper(folder) &&
                               sim::published_entry(text.substr(folder.size())) != m.inf_folder.end();
    if (!in_inf_folder && m.infs.count(text) == 0) {
        op.fail(ERROR_FILE_NOT_FOUND);
        return op.result(INVALID_FILE_ATTRIBUTES);
    }
    return op.result(FILE_ATTRIBUTE_NORMAL);
}

HMODULE LoadLibraryA(LPCSTR path) {
    operation op("LoadLibraryA", nullptr, {}, path ? path : "");
    auto& m = the_machine();
    const std::string expected = m.visible.system_directory + std::string(sim::newdev_file);
    if (!path || !m.visible.newdev.loadable || sim::upper(path) != sim::upper(expected)) {
        op.fail(ERROR_MOD_NOT_FOUND);
        return op.result<HMODULE>(nullptr);
    }
    const std::uintptr_t handle = m.next_module;
    m.next_module += sim::handle_step;
    m.modules[handle] = true;
    ++m.visible.modules_loaded;
    return op.result(reinterpret_cast<HMODULE>(handle));
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    operation op("GetProcAddress", module, {}, name ? name : "");
    auto& m = the_machine();
    const auto it = m.modules.find(sim::addr(module));
    if (it == m.modules.end() || !it->second) {
        m.visible.bad_handle_uses.push_back("GetProcAddress");
        op.fail(ERROR_INVALID_HANDLE);
        return op.result<FARPROC>(nullptr);
    }
    if (!m.visible.newdev.has_entry_point || !name || std::string_view(name) != "InstallSelectedDriver") {
        op.fail(ERROR_PROC_NOT_FOUND);
        return op.result<FARPROC>(nullptr);
    }
    return op.result(reinterpret_cast<FARPROC>(&sim::sim_install_selected_driver));
}

BOOL FreeLibrary(HMODULE module) {
    operation op("FreeLibrary", module, {});
    auto& m = the_machine();
    const auto it = m.modules.find(sim::addr(module));
    if (it == m.modules.end() || !it->second) {
        m.visible.bad_handle_uses.push_back("FreeLibrary");
        return op.fail(ERROR_INVALID_HANDLE);
    }
    it->second = false;
    ++m.visible.modules_freed;
    return op.result<BOOL>(TRUE);
}

// The thread's last error is no operation: reading or setting it is not
// logged. Every other operation clears it or sets its own, so an error read
// late reads as 0.
DWORD GetLastError() { return the_machine().last_error; }

void SetLastError(DWORD error) { the_machine().last_error = error; }

BOOL CloseHandle(HANDLE handle) {
    operation op("CloseHandle", handle, {});
    return op.fail(ERROR_INVALID_HANDLE);  // the simulation hands out no kernel handles
}

HANDLE GetProcessHeap() { return reinterpret_cast<HANDLE>(sim::process_heap); }

LPVOID HeapAlloc(HANDLE heap, DWORD, SIZE_T size) {
    if (heap != GetProcessHeap() || the_machine().visible.fault.heap_alloc) {
        return nullptr;
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block) {
        ++sim::heap_blocks_allocated;
    }
    return block;
}

BOOL HeapFree(HANDLE heap, DWORD, LPVOID block) {
    if (heap != GetProcessHeap() || !block) {
        return FALSE;
    }
    std::free(block);
    ++sim::heap_blocks_freed;
    return TRUE;
}

void AcquireSRWLockExclusive(SRWLOCK* lock) { lock->mutex.lock(); }
void ReleaseSRWLockExclusive(SRWLOCK* lock) { lock->mutex.unlock(); }
