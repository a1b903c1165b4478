// qvinst drivers: the installation routine's stages up to the driver
// selection, the candidate drivers read from the set they built, and, when
// none is selected, the reason read from the INF.
#include "include/quorvant.h"
#include "install/ID_MAIN2.h"
#include "platform/unique_handle.h"
#include "tools/qvinst/device_commands.h"
#include "tools/qvinst/inf_models.h"
#include "tools/qvinst/platform_errors.h"
#include "tools/qvinst/result_codes.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace qvinst {
namespace {

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
    const platform::unique_handle thread{
        CreateThread(nullptr, 0, call_driver_install_params, &call, CREATE_SUSPENDED, &id)};
    DWORD exit_code = guarded_call_raised;
    if (thread) {
        guarded_thread = id;
        ResumeThread(thread.get());
        WaitForSingleObject(thread.get(), INFINITE);
        GetExitCodeThread(thread.get(), &exit_code);
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

// The driver selection as it ended: the set and element it worked on, and
// the selected driver's record when one is selected.
struct selection_step {
    HDEVINFO set;
    SP_DEVINFO_DATA* element;
    bool ok;
    const SP_DRVINFO_DATA_A* driver;
};

class selection_reader {
public:
    drivers_outcome outcome;
    std::string found_id;  // the device the search chose; empty when none

    void on_step(const ID_MAIN2::step_report& r) {
        if (r.what == ID_MAIN2::step::device_opened && r.ok) {
            outcome.instance_id = std::string(r.detail);
            outcome.hardware_ids = read_id_list(r.set, r.element, SPDRP_HARDWAREID);
            outcome.compatible_ids = read_id_list(r.set, r.element, SPDRP_COMPATIBLEIDS);
        } else if (r.what == ID_MAIN2::step::search_limited && !r.ok) {
            limit_error_ = r.error;
        }
    }

    void selection_ended(const selection_step& s) {
        read_candidates(s);
        selected_ = s.ok;
    }

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
    // Where the platform cannot tell a driver's rank (SetupDiGetDriverInstallParams
    // unavailable), each record it gives of a driver may cost a reading of
    // the whole INF: the candidates are then the INF's lines that name the
    // device, read once, checked against the number of drivers and the
    // selected one, whose record the routine has read already. Otherwise,
    // or when they do not agree, every record is the platform's.
    void read_candidates(const selection_step& s) {
        SP_DRVINFO_DATA_V2_A first{};
        const bool selected = s.ok && s.driver;
        if (!selected && !driver_at(s, 0, first)) {
            return;
        }
        SP_DRVINFO_DATA_A& any = selected ? *const_cast<SP_DRVINFO_DATA_A*>(s.driver) : first;
        params_available_ = driver_install_params(s.set, s.element, any).has_value();
        if (params_available_ || !candidates_from_inf(s, any, selected)) {
            outcome.drivers.clear();
            candidates_from_platform(s);
        }
    }

    static bool driver_at(const selection_step& s, DWORD index, SP_DRVINFO_DATA_V2_A& driver) {
        driver.cbSize = driver_record_size;
        return SetupDiEnumDriverInfoA(s.set, s.element, SPDIT_COMPATDRIVER, index, &driver) != FALSE;
    }

    bool names_device(const model_line& line) const {
        return std::any_of(line.ids.begin(), line.ids.end(), [this](const std::string& id) {
            return contains_id(outcome.hardware_ids, id) || contains_id(outcome.compatible_ids, id);
        });
    }

    static bool same_driver(const SP_DRVINFO_DATA_A& driver, const model_line& line) {
        return line.manufacturer == driver.MfgName && line.description == driver.Description;
    }

    static driver_candidate candidate(const SP_DRVINFO_DATA_A& driver) {
        driver_candidate c;
        c.description = driver.Description;
        c.manufacturer = driver.MfgName;
        c.provider = driver.ProviderName;
        c.version = version_text(driver.DriverVersion);
        c.date = date_text(driver.DriverDate);
        return c;
    }

    bool excluded_by_inf(std::string_view hardware_id) {
        return contains_id(inf().excluded_ids, "*") || contains_id(inf().excluded_ids, hardware_id);
    }

    static std::string_view first_id(const model_line& line) {
        return line.ids.empty() ? std::string_view() : std::string_view(line.ids.front());
    }

    // `record` is the selected driver's when `selected`, else the first one's.
    bool candidates_from_inf(const selection_step& s, SP_DRVINFO_DATA_A& record, bool selected) {
        std::vector<const model_line*> lines;
        for (const model_line& line : inf().lines) {
            if (line.applies && names_device(line)) {
                lines.push_back(&line);
            }
        }
        SP_DRVINFO_DATA_V2_A beyond{};
        if (lines.empty() || driver_at(s, static_cast<DWORD>(lines.size()), beyond) ||
            (!selected && !same_driver(record, *lines.front()))) {
            return false;
        }
        // The selected driver's line: by its name, and where two lines share
        // it, by the platform's record of its line.
        constexpr std::size_t no_line = static_cast<std::size_t>(-1);
        std::size_t chosen = no_line;
        std::vector<std::size_t> named;
        for (std::size_t i = 0; selected && i < lines.size(); ++i) {
            if (same_driver(record, *lines[i])) {
                named.push_back(i);
            }
        }
        if (named.size() == 1) {
            chosen = named.front();
        } else if (!named.empty()) {
            driver_candidate detail;
            std::string hardware_id;
            read_detail(s, record, detail, hardware_id);
            for (const std::size_t i : named) {
                if (lines[i]->section == detail.section &&
                    contains_id({std::string(first_id(*lines[i]))}, hardware_id)) {
                    chosen = i;
                    break;
                }
            }
        }
        if (selected && chosen == no_line) {
            return false;
        }
        const std::string inf_file(ID_MAIN2::full_inf_path(outcome.inf_path.c_str()).view());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            driver_candidate c = candidate(record);
            c.description = lines[i]->description;
            c.manufacturer = lines[i]->manufacturer;
            c.section = lines[i]->section;
            c.inf = inf_file;
            c.excluded = excluded_by_inf(first_id(*lines[i]));
            c.selected = chosen == i;
            outcome.drivers.push_back(std::move(c));
        }
        return true;
    }

    void candidates_from_platform(const selection_step& s) {
        SP_DRVINFO_DATA_V2_A driver{};
        for (DWORD index = 0; driver_at(s, index, driver); ++index) {
            driver_candidate c = candidate(driver);
            c.selected = s.driver && s.driver->Reserved == driver.Reserved;
            std::string hardware_id;
            read_detail(s, driver, c, hardware_id);
            // What the INF says about automatic selection, unless the
            // platform tells.
            c.excluded = excluded_by_inf(hardware_id);
            if (params_available_) {
                const std::optional<SP_DRVINSTALL_PARAMS> params =
                    driver_install_params(s.set, s.element, driver);
                params_available_ = params.has_value();
                if (params) {
                    c.rank = params->Rank;
                    c.excluded = (params->Flags & DNF_EXCLUDEFROMLIST) != 0;
                }
            }
            outcome.drivers.push_back(std::move(c));
        }
    }

    // The platform's record of the driver's line. Asked once with room for
    // a long ID list, and again only when that is too short.
    static void read_detail(const selection_step& s, SP_DRVINFO_DATA_A& driver, driver_candidate& c,
                            std::string& hardware_id) {
        std::vector<char> buffer(sizeof(SP_DRVINFO_DETAIL_DATA_A) + id_list_buffer_size, '\0');
        auto* detail = reinterpret_cast<SP_DRVINFO_DETAIL_DATA_A*>(buffer.data());
        for (DWORD required = 0;;) {
            detail->cbSize = sizeof(SP_DRVINFO_DETAIL_DATA_A);
            if (SetupDiGetDriverInfoDetailA(s.set, s.element, &driver, detail,
                                            static_cast<DWORD>(buffer.size()), &required)) {
                break;
            }
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= buffer.size()) {
                return;
            }
            buffer.assign(required, '\0');
            detail = reinterpret_cast<SP_DRVINFO_DETAIL_DATA_A*>(buffer.data());
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

// The reason's words with the platform's error named after them.
std::string with_error(drivers_outcome& o, std::string text, std::uint32_t code) {
    o.reason_error = describe_platform_error(code);
    text += " (" + o.reason_error->name + ", " + error_number_text(code);
    if (!o.reason_error->text.empty()) {
        text += ": " + o.reason_error->text;
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
void explain_no_driver(drivers_outcome& o, selection_reader& watcher) {
    if (o.code == QV7_E_NO_INF_PATH) {
        o.reason = no_driver_reason::inf_missing;
        o.reason_detail = "the INF path is empty";
        return;
    }
    if (o.instance_id.empty()) {
        o.reason = no_driver_reason::no_device;
        const std::string& found = watcher.found_id;
        o.reason_detail = found.empty() ? "no present device matches the compact ID"
                                        : "the device " + found + " could not be opened";
        return;
    }
    const inf_reading& inf = watcher.inf();
    o.models = inf.models;
    if (inf.trouble == no_driver_reason::inf_missing) {
        o.reason = inf.trouble;
        o.reason_detail = with_error(o, "the INF file is missing or cannot be read", inf.error);
        return;
    }
    if (inf.trouble == no_driver_reason::not_an_inf) {
        o.reason = inf.trouble;
        o.reason_detail =
            with_error(o, "the file is not an INF: it has no [Version] signature", inf.error);
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
            o.reason_detail = with_error(o, o.reason_detail + "; the search could not be limited to "
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

// The installation routine up to the driver selection, as the library runs
// it: NEWDEV.DLL is never loaded, drivers installs nothing.
int select_driver(selection_reader& watcher, const std::string& compact_id) {
    const std::string& inf_path = watcher.outcome.inf_path;
    if (inf_path.empty()) {
        return QV7_E_NO_INF_PATH;
    }
    const ID_MAIN2::search_result found = ID_MAIN2::find_device_instance_id(compact_id);
    if (found.end.result != ID_MAIN2::proceed) {
        return found.end.result;
    }
    watcher.found_id = std::string(found.instance_id);
    const ID_MAIN2::full_path inf = ID_MAIN2::full_inf_path(inf_path.c_str());
    if (inf.empty()) {
        return QV7_E_NO_DRIVER;
    }
    const platform::unique_hdevinfo set{SetupDiCreateDeviceInfoList(nullptr, nullptr)};
    if (!set.valid()) {
        return QV7_E_NO_DRIVER;
    }
    SP_DEVINFO_DATA element{};
    element.cbSize = platform::devinfo_data_size;
    const ID_MAIN2::step_sink sink{[](void* context, const ID_MAIN2::step_report& r) {
                                       static_cast<selection_reader*>(context)->on_step(r);
                                   },
                                   &watcher};
    const ID_MAIN2::outcome opened = ID_MAIN2::open_device_for_inf(
        set.get(), element, watcher.found_id.c_str(), inf, &sink);
    if (opened.result != ID_MAIN2::proceed) {
        return opened.result;
    }
    const ID_MAIN2::outcome end = ID_MAIN2::select_best_driver(set.get(), element, &sink);
    SP_DRVINFO_DATA_V2_A driver{};
    driver.cbSize = driver_record_size;
    const bool selected = SetupDiGetSelectedDriverA(set.get(), &element, &driver) != FALSE;
    watcher.selection_ended({set.get(), &element, selected, selected ? &driver : nullptr});
    return end.result;
}

}  // namespace

command_result run_drivers(const invocation& call) {
    const std::string& inf_path = call.operands.at(0);
    const std::string& compact_id = call.operands.at(1);
    const bool json = call.json;
    selection_reader watcher;
    watcher.outcome.inf_path = inf_path;
    watcher.outcome.code = select_driver(watcher, compact_id);
    drivers_outcome& outcome = watcher.outcome;
    if (!watcher.selected()) {
        explain_no_driver(outcome, watcher);
    }
    return {json ? drivers_json(outcome) : drivers_text(outcome), {}, drivers_exit_status(outcome)};
}

}  // namespace qvinst
