// Virtual devices in the Wine prefix: created as present root-enumerated
// devices of the System class with the hardware IDs a case chooses, listed
// in the order the Setup API enumerates them, inspected for the driver bound
// to them, and removed again.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct present_device {
    std::string instance_id;
    std::string first_hardware_id;  // empty when the device has none
};

// Every present device of every setup class, in enumeration order.
std::vector<present_device> list_present_devices();

// Position of `instance_id` in list_present_devices(), or -1.
int enumeration_position(const std::vector<present_device>& devices,
                         const std::string& instance_id);

// What the device's driver key says, read through the Setup API.
struct bound_driver {
    bool present = false;       // the device exists
    std::string driver_key;     // SPDRP_DRIVER: empty when no driver is bound
    std::string description;    // SPDRP_DEVICEDESC, which installing the driver sets
    std::string inf_path;       // "InfPath" of the driver key
    std::string marker;         // the value named by the caller, written by the INF's AddReg
    std::vector<std::pair<std::string, std::string>> values;  // every text value of the key
};
bound_driver read_bound_driver(const std::string& instance_id, const std::string& marker_value);

// Removes the device through the class installer (DIF_REMOVE).
bool remove_device(const std::string& instance_id);

// Installs the best driver of the INF at `inf_path` onto the device
// through the class installer (DIF_INSTALLDEVICE), as the system's
// installer does; false when a step fails.
bool install_driver(const std::string& instance_id, const std::string& inf_path);

// A present device created for one case and removed when the case ends.
class virtual_device {
public:
    // `hardware_ids` become the device's SPDRP_HARDWAREID list, in order.
    static std::optional<virtual_device> create(const std::vector<std::string>& hardware_ids,
                                                std::string& error);
    // Adopts a device created earlier (by another process).
    static virtual_device adopt(std::string instance_id);

    virtual_device(const virtual_device&) = delete;
    virtual_device& operator=(const virtual_device&) = delete;
    virtual_device(virtual_device&& other) noexcept;
    virtual_device& operator=(virtual_device&& other) noexcept;
    ~virtual_device();

    const std::string& instance_id() const { return instance_id_; }
    // Removes the device now; the destructor then has nothing to do.
    bool remove();
    // Leaves the device in place when this owner ends.
    std::string release();

private:
    explicit virtual_device(std::string instance_id) : instance_id_(std::move(instance_id)) {}
    std::string instance_id_;
};

}  // namespace e2e
