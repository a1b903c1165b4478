// qvinst drivers: the library's selection stage, the candidate drivers read
// from the set it built, and, when none is selected, the reason read from
// the INF.
#include "install/ID_MAIN2.h"
#include "tools/qvinst/commands.h"
#include "tools/qvinst/inf_reading.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace qvinst {
namespace {

constexpr DWORD id_list_buffer_size = ID_MAIN2::hardware_id_buffer_size;
// A guarded call that raised ends its thread with this code.
constexpr DWORD guarded_call_raised = 0xE0E0E0E0;

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

// A driver's record as a candidate: its version "a.b.c.d" from the four
// 16-bit parts, the most significant first, and its date as "YYYY-MM-DD".
driver_candidate candidate(const SP_DRVINFO_DATA_A& driver) {
    driver_candidate c{driver.Description, driver.MfgName, driver.ProviderName, {}, {}, {}, {}, {},
                       false, false};
    char text[64];
    const DWORDLONG v = driver.DriverVersion;
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned(v >> 48), unsigned(v >> 32 & 0xFFFF),
                  unsigned(v >> 16 & 0xFFFF), unsigned(v & 0xFFFF));
    c.version = text;
    SYSTEMTIME time{};
    const FILETIME& date = driver.DriverDate;
    if ((date.dwLowDateTime != 0 || date.dwHighDateTime != 0) &&
        FileTimeToSystemTime(&date, &time)) {
        std::snprintf(text, sizeof text, "%04u-%02u-%02u", time.wYear, time.wMonth, time.wDay);
        c.date = text;
    }
    return c;
}

// SetupDiGetDriverInstallParamsA on a thread of its own: where the platform
// has it only as a stub, which raises a non-continuable exception, that
// ends the thread instead of qvinst.
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
    auto* c = static_cast<guarded_params_call*>(argument);
    c->result = SetupDiGetDriverInstallParamsA(c->set, c->element, c->driver, &c->params);
    return 0;
}

std::optional<SP_DRVINSTALL_PARAMS> driver_install_params(HDEVINFO set, SP_DEVINFO_DATA* element,
                                                          SP_DRVINFO_DATA_A& driver) {
    guarded_params_call call{set, element, &driver, {}, FALSE};
    call.params.cbSize = sizeof call.params;
    void* const handler = AddVectoredExceptionHandler(1, end_guarded_thread);
    DWORD id = 0;
    const platform::unique_handle thread{CreateThread(nullptr, 0, call_driver_install_params, &call,
                                                      CREATE_SUSPENDED, &id)};
    DWORD exit_code = guarded_call_raised;
    if (thread) {
        guarded_thread = id;
        ResumeThread(thread.get());
        WaitForSingleObject(thread.get(), INFINITE);
        GetExitCodeThread(thread.get(), &exit_code);
        guarded_thread = 0;
    }
    if (handler) RemoveVectoredExceptionHandler(handler);
    return exit_code == 0 && call.result ? std::optional(call.params) : std::nullopt;
}

// Whether one of `ids` is one of the device's hardware or compatible IDs.
bool names_device(const drivers_outcome& o, const std::vector<std::string>& ids) {
    return std::any_of(ids.begin(), ids.end(), [&](const std::string& id) {
        return contains_id(o.hardware_ids, id) || contains_id(o.compatible_ids, id);
    });
}

std::string_view first_id(const model_line& line) {
    return line.ids.empty() ? std::string_view() : std::string_view(line.ids.front());
}

bool same_driver(const SP_DRVINFO_DATA_A& driver, const model_line& line) {
    return line.manufacturer == driver.MfgName && line.description == driver.Description;
}

// What the selection stage reports, and the candidate drivers of the set it
// built, read when it reports the selection.
class selection_reader {
public:
    drivers_outcome outcome;
    std::string found_id;  // the device the search chose; empty when none
    std::string full_inf;  // the INF path as the routine made it full
    bool selected = false;
    std::optional<DWORD> limit_error;

    void on_step(const ID_MAIN2::step_report& r) {
        if (r.what == ID_MAIN2::step::device_chosen && r.ok) {
            found_id = std::string(r.detail);
        } else if (r.what == ID_MAIN2::step::device_opened && r.ok) {
            outcome.instance_id = std::string(r.detail);
            outcome.hardware_ids = read_id_list(r.set, r.element, SPDRP_HARDWAREID);
            outcome.compatible_ids = read_id_list(r.set, r.element, SPDRP_COMPATIBLEIDS);
        } else if (r.what == ID_MAIN2::step::search_limited) {
            full_inf = std::string(r.detail);
            if (!r.ok) limit_error = r.error;
        } else if (r.what == ID_MAIN2::step::driver_selected) {
            set_ = r.set;
            element_ = r.element;
            SP_DRVINFO_DATA_V2_A driver{};
            driver.cbSize = platform::driver_info_size;
            selected = SetupDiGetSelectedDriverA(set_, element_, &driver) != FALSE;
            read_candidates(selected ? &driver : nullptr);
        }
    }

    // The INF, read once per run.
    const inf_reading& inf() {
        if (!inf_) inf_ = read_inf_models(outcome.inf_path);
        return *inf_;
    }

private:
    // Where the platform cannot tell a driver's rank (no
    // SetupDiGetDriverInstallParams), each record it gives of a driver may
    // cost a reading of the whole INF: the candidates are then the INF's
    // lines that name the device, read once, checked against the number of
    // drivers and against the selected one, whose record the routine has
    // read already. Otherwise, or when they disagree, every record is the
    // platform's.
    void read_candidates(SP_DRVINFO_DATA_A* selected_driver) {
        SP_DRVINFO_DATA_V2_A first{};
        if (!selected_driver && !driver_at(0, first)) return;
        SP_DRVINFO_DATA_A& any = selected_driver ? *selected_driver : first;
        params_available_ = driver_install_params(set_, element_, any).has_value();
        if (params_available_ || !candidates_from_inf(any, selected_driver != nullptr)) {
            outcome.drivers.clear();
            candidates_from_platform(selected_driver);
        }
    }

    bool driver_at(DWORD index, SP_DRVINFO_DATA_V2_A& driver) const {
        driver.cbSize = platform::driver_info_size;
        return SetupDiEnumDriverInfoA(set_, element_, SPDIT_COMPATDRIVER, index, &driver) != FALSE;
    }

    bool excluded_by_inf(std::string_view hardware_id) {
        return contains_id(inf().excluded_ids, "*") || contains_id(inf().excluded_ids, hardware_id);
    }

    // `record` is the selected driver's when `with_selected`, else the first one's.
    bool candidates_from_inf(SP_DRVINFO_DATA_A& record, bool with_selected) {
        std::vector<const model_line*> lines;
        for (const model_line& line : inf().lines) {
            if (line.applies && names_device(outcome, line.ids)) lines.push_back(&line);
        }
        SP_DRVINFO_DATA_V2_A beyond{};
        if (lines.empty() || driver_at(static_cast<DWORD>(lines.size()), beyond) ||
            (!with_selected && !same_driver(record, *lines.front()))) {
            return false;
        }
        // The selected driver's line: by its name, and where two lines share
        // it, by the platform's record of its line.
        std::optional<std::size_t> chosen;
        std::vector<std::size_t> named;
        for (std::size_t i = 0; with_selected && i < lines.size(); ++i) {
            if (same_driver(record, *lines[i])) named.push_back(i);
        }
        if (named.size() == 1) {
            chosen = named.front();
        } else if (!named.empty()) {
            driver_candidate detail;
            const std::string hardware_id = read_detail(record, detail);
            for (const std::size_t i : named) {
                if (lines[i]->section == detail.section && same_text(first_id(*lines[i]), hardware_id)) {
                    chosen = i;
                    break;
                }
            }
        }
        if (with_selected && !chosen) return false;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            driver_candidate c = candidate(record);
            c.description = lines[i]->description;
            c.manufacturer = lines[i]->manufacturer;
            c.section = lines[i]->section;
            c.inf = full_inf;
            c.excluded = excluded_by_inf(first_id(*lines[i]));
            c.selected = chosen == i;
            outcome.drivers.push_back(std::move(c));
        }
        return true;
    }

    void candidates_from_platform(const SP_DRVINFO_DATA_A* selected_driver) {
        SP_DRVINFO_DATA_V2_A driver{};
        for (DWORD index = 0; driver_at(index, driver); ++index) {
            driver_candidate c = candidate(driver);
            c.selected = selected_driver && selected_driver->Reserved == driver.Reserved;
            // What the INF says about automatic selection, unless the
            // platform tells.
            c.excluded = excluded_by_inf(read_detail(driver, c));
            if (params_available_) {
                const std::optional<SP_DRVINSTALL_PARAMS> params =
                    driver_install_params(set_, element_, driver);
                params_available_ = params.has_value();
                if (params) {
                    c.rank = params->Rank;
                    c.excluded = (params->Flags & DNF_EXCLUDEFROMLIST) != 0;
                }
            }
            outcome.drivers.push_back(std::move(c));
        }
    }

    // The platform's record of the driver's line into `c`, and its hardware
    // ID; asked again only when room for a long ID list is too short.
    std::string read_detail(SP_DRVINFO_DATA_A& driver, driver_candidate& c) const {
        std::vector<char> buffer(sizeof(SP_DRVINFO_DETAIL_DATA_A) + id_list_buffer_size, '\0');
        auto* detail = reinterpret_cast<SP_DRVINFO_DETAIL_DATA_A*>(buffer.data());
        for (DWORD required = 0;;) {
            detail->cbSize = sizeof(SP_DRVINFO_DETAIL_DATA_A);
            if (SetupDiGetDriverInfoDetailA(set_, element_, &driver, detail,
                                            static_cast<DWORD>(buffer.size()), &required)) {
                break;
            }
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= buffer.size()) {
                return {};
            }
            buffer.assign(required, '\0');
            detail = reinterpret_cast<SP_DRVINFO_DETAIL_DATA_A*>(buffer.data());
        }
        c.section = detail->SectionName;
        c.inf = detail->InfFileName;
        return detail->HardwareID;
    }

    HDEVINFO set_ = nullptr;
    SP_DEVINFO_DATA* element_ = nullptr;
    bool params_available_ = true;
    std::optional<inf_reading> inf_;
};

// Whether a models section that the platform reads (or, with `applying`
// false, one it does not read, for this architecture or another) names one
// of the device's IDs.
bool any_model_names_device(const drivers_outcome& o, bool applying, bool this_architecture) {
    return std::any_of(o.models.begin(), o.models.end(), [&](const model_section& m) {
        return m.applies == applying && (applying || m.this_architecture == this_architecture) &&
               names_device(o, m.ids);
    });
}

// Why the watched run selected no driver.
void explain_no_driver(drivers_outcome& o, selection_reader& watcher) {
    const auto because = [&o](no_driver_reason reason, std::string text,
                              std::optional<std::uint32_t> error = std::nullopt) {
        o.reason = reason;
        o.reason_detail = std::move(text);
        if (error) {  // the platform's error named after the words
            o.reason_error = describe_platform_error(*error);
            o.reason_detail += " (" + o.reason_error->name + ", " + error_number_text(*error) +
                               (o.reason_error->text.empty() ? "" : ": " + o.reason_error->text) +
                               ")";
        }
    };
    if (o.code == QV7_E_NO_INF_PATH) {
        return because(no_driver_reason::inf_missing, "the INF path is empty");
    }
    if (o.instance_id.empty()) {
        return because(no_driver_reason::no_device,
                       watcher.found_id.empty()
                           ? "no present device matches the compact ID"
                           : "the device " + watcher.found_id + " could not be opened");
    }
    const inf_reading& inf = watcher.inf();
    o.models = inf.models;
    if (inf.trouble == no_driver_reason::inf_missing) {
        return because(inf.trouble, "the INF file is missing or cannot be read", inf.error);
    }
    if (inf.trouble == no_driver_reason::not_an_inf) {
        return because(inf.trouble, "the file is not an INF: it has no [Version] signature",
                       inf.error);
    }
    if (!o.drivers.empty()) {
        return because(no_driver_reason::class_installer_declined,
                       "the INF offers compatible drivers, but the class installer selected none");
    }
    if (any_model_names_device(o, true, true)) {
        std::string built_none = "a model line names one of the device's IDs, but the platform "
                                 "built no compatible driver from it";
        if (!watcher.limit_error) return because(no_driver_reason::class_installer_declined, built_none);
        return because(no_driver_reason::class_installer_declined,
                       built_none + "; the search could not be limited to the INF",
                       *watcher.limit_error);
    }
    if (any_model_names_device(o, false, true)) {
        return because(no_driver_reason::other_os_version,
                       "the INF names the device only in models sections that this system does "
                       "not read: decorated for another version of Windows, or passed over for a "
                       "closer one");
    }
    if (any_model_names_device(o, false, false)) {
        return because(no_driver_reason::other_architecture,
                       "the INF names the device only in models sections decorated for another "
                       "architecture than this process's");
    }
    because(no_driver_reason::no_matching_model,
            "no model line of the INF names any of the device's hardware or compatible IDs");
}

}  // namespace

command_result run_drivers(const invocation& call) {
    const std::string& inf_path = call.operands.at(0);
    selection_reader watcher;
    watcher.outcome.inf_path = inf_path;
    // The installation's stages up to the driver selection, as the library
    // runs them: NEWDEV.DLL is never loaded, nothing installed.
    const ID_MAIN2::step_sink sink{[](void* context, const ID_MAIN2::step_report& r) {
                                       static_cast<selection_reader*>(context)->on_step(r);
                                   },
                                   &watcher};
    ID_MAIN2::selection selection;
    watcher.outcome.code =
        ID_MAIN2::select_driver(call.operands.at(1), inf_path.c_str(), selection, &sink).result;
    drivers_outcome& outcome = watcher.outcome;
    if (!watcher.selected) explain_no_driver(outcome, watcher);
    return {drivers_report(outcome, call.json), {}, drivers_exit_status(outcome)};
}

}  // namespace qvinst
