// install --explain: the installation routine watched through the platform seam.
#include "tools/qvinst/explained_install.h"

#include "install/ID_MAIN2.h"
#include "platform/observed_platform.h"
#include "tools/qvinst/platform_errors.h"
#include "tools/qvinst/result_codes.h"

#include <cstdio>
#include <vector>

namespace qvinst {
namespace {

namespace seen = platform::observed;

// The size field of SP_DRVINFO_DATA_V2_A, as the library sets it.
constexpr DWORD driver_record_size = platform::driver_info_size;
std::string reboot_words(DWORD reboot) {
    std::string words;
    if (reboot & DI_NEEDRESTART) {
        words += " DI_NEEDRESTART";
    }
    if (reboot & DI_NEEDREBOOT) {
        words += " DI_NEEDREBOOT";
    }
    return hex_text(reboot) + (words.empty() ? std::string(" (neither restart nor reboot)") : words);
}

DWORD count_compatible_drivers(HDEVINFO set, SP_DEVINFO_DATA* element) {
    SP_DRVINFO_DATA_V2_A driver{};
    DWORD count = 0;
    for (;; ++count) {
        driver.cbSize = driver_record_size;
        if (!SetupDiEnumDriverInfoA(set, element, SPDIT_COMPATDRIVER, count, &driver)) {
            return count;
        }
    }
}

class explaining_observer final : public seen::observer {
public:
    explicit explaining_observer(bool live) : live_(live) {}

    const std::vector<explained_step>& steps() const { return steps_; }

    void on_step(const seen::step& s) override {
        switch (s.op) {
            case seen::operation::get_class_devs:
                walk_set_ = s.set;
                devices_ = 0;
                if (!s.ok) {
                    // The walk ends here, with no device.
                    add("present devices listed", s);
                    walk_set_ = nullptr;
                    device_chosen();
                }
                return;
            case seen::operation::enum_device_info:
                devices_ += s.ok ? 1 : 0;
                return;
            case seen::operation::destroy_device_info_list:
                if (walk_set_ && s.set == walk_set_) {
                    walk_set_ = nullptr;
                    device_chosen();
                } else {
                    add("set destroyed", s);
                }
                return;
            case seen::operation::create_device_info_list:
                return add("set created", s);
            case seen::operation::open_device_info:
                return add("device opened", s, std::string(s.text));
            case seen::operation::set_selected_device:
                return add("device made the set's selected device", s);
            case seen::operation::get_device_install_params:
                return add("install parameters read", s);
            case seen::operation::set_device_install_params:
                return add("search limited to the INF", s, std::string(s.text));
            case seen::operation::build_driver_info_list: {
                const DWORD count = count_compatible_drivers(s.set, s.element);
                return add("driver list built", s,
                           std::to_string(count) + (count == 1 ? " candidate" : " candidates"));
            }
            case seen::operation::call_class_installer:
                return add("class installer run", s, "DIF_SELECTBESTCOMPATDRV");
            case seen::operation::get_selected_driver:
                return add("driver selected", s, s.driver ? selected_text(s) : "none");
            case seen::operation::get_system_directory:
                return add("system directory read", s, std::string(s.text));
            case seen::operation::load_library:
                return add("NEWDEV loaded", s, "from " + std::string(s.text));
            case seen::operation::get_proc_address:
                return add("installer entry point found", s, std::string(s.text));
            case seen::operation::install_selected_driver:
                return add("installer called", s,
                           std::string(s.ok ? "returned TRUE" : "returned FALSE") +
                               ", reboot word " + reboot_words(s.value));
            case seen::operation::free_library:
                return add("NEWDEV freed", s);
            case seen::operation::get_device_registry_property:
            case seen::operation::get_device_instance_id:
            case seen::operation::get_last_error:
                return;  // parts of the steps above
        }
    }

private:
    static std::string selected_text(const seen::step& s) {
        std::string text = s.driver->Description;
        SP_DRVINFO_DETAIL_DATA_A detail{};
        detail.cbSize = sizeof detail;
        DWORD required = 0;
        // The fixed part holds the section and INF names; the ID list that
        // follows may not fit, which leaves them filled in.
        SetupDiGetDriverInfoDetailA(s.set, s.element, const_cast<SP_DRVINFO_DATA_A*>(s.driver),
                                    &detail, sizeof detail, &required);
        if (detail.SectionName[0] != '\0') {
            text += " (section " + std::string(detail.SectionName) + " of " +
                    std::string(detail.InfFileName) + ")";
        }
        return text;
    }

    void device_chosen() {
        const std::string found(ID_MAIN2::found_instance_id.view());
        explained_step step;
        step.step = "device chosen";
        step.ok = !found.empty();
        step.detail = found.empty() ? "none of the " + std::to_string(devices_) +
                                          " present devices matches"
                                    : found;
        record(std::move(step));
    }

    void add(std::string what, const seen::step& s, std::string detail = {}) {
        explained_step step;
        step.step = std::move(what);
        step.ok = s.ok;
        step.detail = std::move(detail);
        if (!s.ok) {
            step.error = describe_platform_error(s.error);
        }
        record(std::move(step));
    }

    void record(explained_step step) {
        if (live_) {
            const std::string line = explained_step_text(step);
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fflush(stdout);
        }
        steps_.push_back(std::move(step));
    }

    bool live_;
    std::vector<explained_step> steps_;
    HDEVINFO walk_set_ = nullptr;
    unsigned devices_ = 0;
};

}  // namespace

platform_error describe_platform_error(std::uint32_t code) {
    platform_error error{code, "error " + error_number_text(code), {}};
    if (const platform_error_info* known = find_platform_error(code)) {
        error.name = std::string(known->name);
        error.text = std::string(known->text);
    }
    if (!error.text.empty() || is_setup_api_error(code)) {
        return error;  // the system's message table does not know the family
    }
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&message), 0, nullptr);
    if (length != 0 && message) {
        std::string text(message, length);
        const std::size_t end = text.find_last_not_of("\r\n ");
        text.erase(end == std::string::npos ? 0 : end + 1);
        error.text = text;
    }
    LocalFree(message);
    return error;
}

command_result run_install_explained(const std::string& inf_path, const std::string& compact_id,
                                     bool json) {
    explaining_observer watcher(!json);
    int code = 0;
    {
        const seen::observer_scope scope(watcher);
        // As qv7_installdevice does: no parent window.
        code = ID_MAIN2::install_driver_for_device(nullptr, compact_id, inf_path.c_str());
    }
    const int status = describe_result(code).exit_status;
    if (json) {
        return {explained_json(watcher.steps(), code), {}, status};
    }
    return {explained_result_text(code), {}, status};
}

}  // namespace qvinst
