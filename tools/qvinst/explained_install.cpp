// install --explain: the library's own installation routine, reporting its
// steps as it takes them.
#include "install/ID_MAIN2.h"
#include "tools/qvinst/device_commands.h"
#include "tools/qvinst/driver_reports.h"
#include "tools/qvinst/platform_errors.h"
#include "tools/qvinst/result_codes.h"

#include <vector>

namespace qvinst {
namespace {

using ID_MAIN2::step;

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

// The selected driver's description, and where the platform found it.
std::string selected_text(HDEVINFO set, SP_DEVINFO_DATA* element) {
    SP_DRVINFO_DATA_V2_A driver{};
    driver.cbSize = driver_record_size;
    if (!SetupDiGetSelectedDriverA(set, element, &driver)) {
        return "none";
    }
    std::string text = driver.Description;
    SP_DRVINFO_DETAIL_DATA_A detail{};
    detail.cbSize = sizeof detail;
    DWORD required = 0;
    // The fixed part holds the section and INF names; the ID list that
    // follows may not fit, which leaves them filled in.
    SetupDiGetDriverInfoDetailA(set, element, &driver, &detail, sizeof detail, &required);
    if (detail.SectionName[0] != '\0') {
        text += " (section " + std::string(detail.SectionName) + " of " +
                std::string(detail.InfFileName) + ")";
    }
    return text;
}

// The routine's steps in words, as they end.
class explainer {
public:
    explicit explainer(bool live) : live_(live) {}

    const std::vector<explained_step>& steps() const { return steps_; }

    ID_MAIN2::step_sink sink() {
        return {[](void* context, const ID_MAIN2::step_report& r) {
                    static_cast<explainer*>(context)->on_step(r);
                },
                this};
    }

private:
    void on_step(const ID_MAIN2::step_report& r) {
        const std::string detail(r.detail);
        switch (r.what) {
            case step::devices_listed:
                if (!r.ok) {
                    add("present devices listed", r);  // the walk ends here, with no device
                }
                return;
            case step::device_chosen: {
                explained_step chosen;
                chosen.step = "device chosen";
                chosen.ok = r.ok;
                chosen.detail = r.ok ? detail
                                     : "none of the " + std::to_string(r.value) +
                                           " present devices matches";
                return record(std::move(chosen));
            }
            case step::set_created: return add("set created", r);
            case step::device_opened: return add("device opened", r, detail);
            case step::device_selected: return add("device made the set's selected device", r);
            case step::install_params_read: return add("install parameters read", r);
            case step::search_limited: return add("search limited to the INF", r, detail);
            case step::driver_list_built: {
                const DWORD count = count_compatible_drivers(r.set, r.element);
                return add("driver list built", r,
                           std::to_string(count) + (count == 1 ? " candidate" : " candidates"));
            }
            case step::class_installer_run:
                return add("class installer run", r, "DIF_SELECTBESTCOMPATDRV");
            case step::driver_selected:
                return add("driver selected", r, r.ok ? selected_text(r.set, r.element) : "none");
            case step::system_directory_read: return add("system directory read", r, detail);
            case step::newdev_loaded: return add("NEWDEV loaded", r, "from " + detail);
            case step::entry_point_found: return add("installer entry point found", r, detail);
            case step::installer_called:
                return add("installer called", r,
                           std::string(r.ok ? "returned TRUE" : "returned FALSE") +
                               ", reboot word " + reboot_words(r.value));
            case step::newdev_freed: return add("NEWDEV freed", r);
            case step::set_destroyed: return add("set destroyed", r);
        }
    }

    void add(std::string what, const ID_MAIN2::step_report& r, std::string detail = {}) {
        explained_step s;
        s.step = std::move(what);
        s.ok = r.ok;
        s.detail = std::move(detail);
        if (!r.ok) {
            s.error = describe_platform_error(r.error);
        }
        record(std::move(s));
    }

    void record(explained_step s) {
        if (live_) {
            write_out(explained_step_text(s));
        }
        steps_.push_back(std::move(s));
    }

    bool live_;
    std::vector<explained_step> steps_;
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
    explainer watcher(!json);
    const ID_MAIN2::step_sink sink = watcher.sink();
    // As qv7_installdevice does: no parent window.
    const int code =
        ID_MAIN2::install_driver_for_device(nullptr, compact_id, inf_path.c_str(), &sink);
    const int status = describe_result(code).exit_status;
    if (json) {
        return {explained_json(watcher.steps(), code), {}, status};
    }
    return {explained_result_text(code), {}, status};
}

}  // namespace qvinst
