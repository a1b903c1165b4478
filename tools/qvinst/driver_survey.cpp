// qvinst drivers: the installation routine watched up to the driver
// selection, the candidate drivers read from the set it built, and, when
// none is selected, the reason read from the INF.
#include "tools/qvinst/explained_install.h"

#include "include/quorvant.h"
#include "install/ID_MAIN2.h"
#include "platform/observed_platform.h"
#include "tools/qvinst/inf_models.h"
#include "tools/qvinst/platform_errors.h"
#include "tools/qvinst/result_codes.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

namespace qvinst {
namespace {

namespace seen = platform::observed;

constexpr DWORD driver_record_size = platform::driver_info_size;
constexpr DWORD id_list_buffer_size = ID_MAIN2::hardware_id_buffer_size;
// A guarded call that raised ends its thread with this code.
constexpr DWORD guarded_call_raised = 0xE0E0E0E0;
// A version word holds four 16-bit parts, the most significant first.
constexpr int version_part_bits = 16;
constexpr int version_parts = 4;
constexpr unsigned version_part_mask = 0xFFFF;
// "YYYY-MM-DD" and the terminating zero, with room to spare.
constexpr std::size_t date_text_size = 16;

// The zero-terminated texts of a REG_MULTI_SZ property.
std::vector<std::string> read_id_list(HDEVINFO set, SP_DEVINFO_DATA* element, DWORD property) {
    std::vector<char> buffer(id_list_buffer_size + 2, '\0');
    SetupDiGetDeviceRegistryPropertyA(set, element, property, nullptr,
                                      reinterpret_cast<PBYTE>(buffer.data()), id_list_buffer_size,
                                      nullptr);
    std::vector<std::string> ids;
    for (const char* item = buffer.data(); *item != '\0'; item += ids.back().size() + 1) {
        ids.emplace_back(item);
    }
    return ids;
}

std::string version_text(DWORDLONG version) {
    std::string out;
    for (int part = version_parts - 1; part >= 0; --part) {
        out += std::to_string((version >> (part * version_part_bits)) & version_part_mask);
        if (part != 0) {
            out += '.';
        }
    }
    return out;
}

std::string date_text(const FILETIME& date) {
    SYSTEMTIME time{};
    const bool none = date.dwLowDateTime == 0 && date.dwHighDateTime == 0;
    if (none || !FileTimeToSystemTime(&date, &time)) {
        return {};
    }
    char text[date_text_size];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", time.wYear, time.wMonth, time.wDay);
    return text;
}

// SetupDiGetDriverInstallParamsA on a thread of its own: a platform that
// has it only as a stub raises a non-continuable exception there, which
// ends that thread instead of qvinst.
struct guarded_params_call {
    HDEVINFO set;
    SP_DEVINFO_DATA* element;
    SP_DRVINFO_DATA_A* driver;
    SP_DRVINSTALL_PARAMS params;
    BOOL result;
};
DWORD guarded_thread = 0;

LONG CALLBACK end_guarded_thread(EXCEPTION_POINTERS* info) {
    if (GetCurrentThreadId() == guarded_thread &&
        (info->ExceptionRecord->ExceptionFlags & EXCEPTION_NONCONTINUABLE)) {
        ExitThread(guarded_call_raised);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

DWORD WINAPI call_driver_install_params(void* argument) {
    auto* call = static_cast<guarded_params_call*>(argument);
    call->result = SetupDiGetDriverInstallParamsA(call->set, call->element, call->driver,
                                                  &call->params);
    return 0;
}

std::optional<SP_DRVINSTALL_PARAMS> driver_install_params(HDEVINFO set, SP_DEVINFO_DATA* element,
                                                          SP_DRVINFO_DATA_A& driver) {
    guarded_params_call call{set, element, &driver, {}, FALSE};
    call.params.cbSize = sizeof call.params;
    void* const handler = AddVectoredExceptionHandler(1, end_guarded_thread);
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, 0, call_driver_install_params, &call,
                                       CREATE_SUSPENDED, &id);
    DWORD exit_code = guarded_call_raised;
    if (thread) {
        guarded_thread = id;
        ResumeThread(thread);
        WaitForSingleObject(thread, INFINITE);
        GetExitCodeThread(thread, &exit_code);
        CloseHandle(thread);
        guarded_thread = 0;
    }
    if (handler) {
        RemoveVectoredExceptionHandler(handler);
    }
    if (exit_code != 0 || !call.result) {
        return std::nullopt;
    }
    return call.params;
}

// The candidates' model lines, found by manufacturer and description in the
// INF read once: the n-th driver with a name is the n-th line with it in the
// sections this process reads.
class line_index {
public:
    explicit line_index(const inf_reading& inf) {
        for (const model_line& line : inf.lines) {
            if (line.applies) {
                lines_[key(line.manufacturer, line.description)].push_back(&line);
            }
        }
    }

    const model_line* next(const char* manufacturer, const char* description) {
        const std::string name = key(manufacturer, description);
        const auto found = lines_.find(name);
        const std::size_t n = taken_[name]++;
        return found != lines_.end() && n < found->second.size() ? found->second[n] : nullptr;
    }

private:
    static std::string key(std::string_view manufacturer, std::string_view description) {
        return std::string(manufacturer) + '\0' + std::string(description);
    }

    std::map<std::string, std::vector<const model_line*>> lines_;
    std::map<std::string, std::size_t> taken_;
};

class driver_observer final : public seen::observer {
public:
    drivers_outcome outcome;

    void on_step(const seen::step& s) override {
        if (s.op == seen::operation::open_device_info && s.ok) {
            outcome.instance_id = std::string(s.text);
            outcome.hardware_ids = read_id_list(s.set, s.element, SPDRP_HARDWAREID);
            outcome.compatible_ids = read_id_list(s.set, s.element, SPDRP_COMPATIBLEIDS);
        } else if (s.op == seen::operation::get_selected_driver) {
            read_candidates(s);
            selected_ = s.ok;
        } else if (s.op == seen::operation::set_device_install_params && !s.ok) {
            limit_error_ = s.error;
        }
    }

    // Stop before NEWDEV.DLL: drivers installs nothing.
    bool may_load_installer(std::string_view) override { return false; }

    bool selected() const { return selected_; }
    std::optional<DWORD> limit_error() const { return limit_error_; }

    // The INF, read once per run.
    const inf_reading& inf() {
        if (!inf_) {
            inf_ = read_inf_models(outcome.inf_path);
        }
        return *inf_;
    }

private:
    // The platform's record of each driver costs a reading of the whole INF,
    // so it is asked for the first and the selected driver only; the others
    // take their line from the INF read once. When the two disagree, or a
    // driver has no line, every driver is asked.
    void read_candidates(const seen::step& s) {
        std::vector<SP_DRVINFO_DATA_V2_A> drivers;
        std::vector<const model_line*> lines;
        line_index index(inf());
        SP_DRVINFO_DATA_V2_A driver{};
        for (DWORD n = 0;; ++n) {
            driver.cbSize = driver_record_size;
            if (!SetupDiEnumDriverInfoA(s.set, s.element, SPDIT_COMPATDRIVER, n, &driver)) {
                break;
            }
            drivers.push_back(driver);
            lines.push_back(index.next(driver.MfgName, driver.Description));
        }
        bool lines_hold = std::find(lines.begin(), lines.end(), nullptr) == lines.end();
        std::string inf_file;
        for (std::size_t i = 0; i < drivers.size(); ++i) {
            driver_candidate c;
            c.description = drivers[i].Description;
            c.manufacturer = drivers[i].MfgName;
            c.provider = drivers[i].ProviderName;
            c.version = version_text(drivers[i].DriverVersion);
            c.date = date_text(drivers[i].DriverDate);
            c.selected = s.driver && s.driver->Reserved == drivers[i].Reserved;
            std::string hardware_id;
            if (i == 0 || c.selected || !lines_hold) {
                read_detail(s, drivers[i], c, hardware_id);
                inf_file = c.inf;
                if (lines_hold && (c.section != lines[i]->section ||
                                   !same_id(hardware_id, lines[i]->hardware_id))) {
                    // The INF read otherwise than the platform: start again
                    // with the platform's record of every driver.
                    lines_hold = false;
                    outcome.drivers.clear();
                    i = static_cast<std::size_t>(-1);
                    continue;
                }
            } else {
                c.section = lines[i]->section;
                c.inf = inf_file;
                hardware_id = lines[i]->hardware_id;
            }
            // What the INF says about automatic selection, unless the
            // platform tells.
            c.excluded = contains_id(inf().excluded_ids, "*") ||
                         contains_id(inf().excluded_ids, hardware_id);
            if (params_available_) {
                const std::optional<SP_DRVINSTALL_PARAMS> params =
                    driver_install_params(s.set, s.element, drivers[i]);
                params_available_ = params.has_value();
                if (params) {
                    c.rank = params->Rank;
                    c.excluded = (params->Flags & DNF_EXCLUDEFROMLIST) != 0;
                }
            }
            outcome.drivers.push_back(std::move(c));
        }
    }

    static bool same_id(const std::string& a, const std::string& b) {
        return contains_id({a}, b);
    }

    static void read_detail(const seen::step& s, SP_DRVINFO_DATA_A& driver, driver_candidate& c,
                            std::string& hardware_id) {
        DWORD required = 0;
        SetupDiGetDriverInfoDetailA(s.set, s.element, &driver, nullptr, 0, &required);
        std::vector<char> buffer(std::max<DWORD>(required, sizeof(SP_DRVINFO_DETAIL_DATA_A)), '\0');
        auto* detail = reinterpret_cast<SP_DRVINFO_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof(SP_DRVINFO_DETAIL_DATA_A);
        if (!SetupDiGetDriverInfoDetailA(s.set, s.element, &driver, detail,
                                         static_cast<DWORD>(buffer.size()), nullptr)) {
            return;
        }
        c.section = detail->SectionName;
        c.inf = detail->InfFileName;
        hardware_id = detail->HardwareID;
    }

    bool selected_ = false;
    bool params_available_ = true;
    std::optional<DWORD> limit_error_;
    std::optional<inf_reading> inf_;
};

std::string with_error(std::string text, std::uint32_t error) {
    explained_step named;
    describe_platform_error(error, named);
    text += " (" + named.error_name + ", " + error_number_text(error);
    if (!named.error_text.empty()) {
        text += ": " + named.error_text;
    }
    return text + ")";
}

// Whether a models section that the platform reads (or, with `applying`
// false, one it does not read, for this architecture or another) names one
// of the device's IDs.
bool any_model_names_device(const drivers_outcome& o, bool applying, bool this_architecture) {
    for (const model_section& m : o.models) {
        if (m.applies != applying || (!applying && m.this_architecture != this_architecture)) {
            continue;
        }
        for (const std::string& id : m.ids) {
            if (contains_id(o.hardware_ids, id) || contains_id(o.compatible_ids, id)) {
                return true;
            }
        }
    }
    return false;
}

// Why the watched run selected no driver.
void explain_no_driver(drivers_outcome& o, driver_observer& watcher) {
    if (o.code == QV7_E_NO_INF_PATH) {
        o.reason = no_driver_reason::inf_missing;
        o.reason_detail = "the INF path is empty";
        return;
    }
    if (o.instance_id.empty()) {
        o.reason = no_driver_reason::no_device;
        const std::string found(ID_MAIN2::found_instance_id.view());
        o.reason_detail = found.empty() ? "no present device matches the compact ID"
                                        : "the device " + found + " could not be opened";
        return;
    }
    const inf_reading& inf = watcher.inf();
    o.models = inf.models;
    if (inf.trouble == no_driver_reason::inf_missing) {
        o.reason = inf.trouble;
        o.reason_detail = with_error("the INF file is missing or cannot be read", inf.error);
        return;
    }
    if (inf.trouble == no_driver_reason::not_an_inf) {
        o.reason = inf.trouble;
        o.reason_detail =
            with_error("the file is not an INF: it has no [Version] signature", inf.error);
        return;
    }
    if (!o.drivers.empty()) {
        o.reason = no_driver_reason::class_installer_declined;
        o.reason_detail =
            "the INF offers compatible drivers, but the class installer selected none";
        return;
    }
    if (any_model_names_device(o, true, true)) {
        o.reason = no_driver_reason::class_installer_declined;
        o.reason_detail = "a model line names one of the device's IDs, but the platform built no "
                          "compatible driver from it";
        if (watcher.limit_error()) {
            o.reason_detail = with_error(o.reason_detail + "; the search could not be limited to "
                                                           "the INF",
                                         *watcher.limit_error());
        }
        return;
    }
    if (any_model_names_device(o, false, true)) {
        o.reason = no_driver_reason::other_os_version;
        o.reason_detail = "the INF names the device only in models sections that this system does "
                          "not read: decorated for another version of Windows, or passed over "
                          "for a closer one";
        return;
    }
    if (any_model_names_device(o, false, false)) {
        o.reason = no_driver_reason::other_architecture;
        o.reason_detail = "the INF names the device only in models sections decorated for another "
                          "architecture than this process's";
        return;
    }
    o.reason = no_driver_reason::no_matching_model;
    o.reason_detail =
        "no model line of the INF names any of the device's hardware or compatible IDs";
}

}  // namespace

command_result run_drivers(const std::string& inf_path, const std::string& compact_id, bool json) {
    driver_observer watcher;
    watcher.outcome.inf_path = inf_path;
    {
        const seen::observer_scope scope(watcher);
        watcher.outcome.code = ID_MAIN2::install_driver_for_device(nullptr, compact_id, inf_path.c_str());
    }
    drivers_outcome& outcome = watcher.outcome;
    if (!watcher.selected()) {
        explain_no_driver(outcome, watcher);
    }
    return {json ? drivers_json(outcome) : drivers_text(outcome), {}, drivers_exit_status(outcome)};
}

}  // namespace qvinst
