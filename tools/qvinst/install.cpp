// install: through the export of the QUORVANT.dll next to qvinst.exe, or
// with --explain through the library's own routine, built into qvinst,
// reporting each step as it ends; and --version, with the DLL's version.
#include "install/ID_MAIN2.h"
#include "platform/own_module.h"
#include "tools/qvinst/commands.h"
#include "tools/qvinst/install_reports.h"

#include <winver.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

namespace qvinst {
namespace {

using ID_MAIN2::step;

constexpr const wchar_t* library_file = L"QUORVANT.dll";
constexpr const char* export_name = "qv7_installdevice";

std::string with_error(const std::string& text, DWORD error) {
    return text + " (error " + std::to_string(error) + ")";
}

// `path` in the ANSI code page, or in UTF-8 where it has no exact form there.
std::string path_text(std::wstring_view path) {
    for (const UINT page : {UINT{CP_ACP}, UINT{CP_UTF8}}) {
        const int length = platform::narrow_exact(path, page, nullptr, 0);
        std::string out(static_cast<std::size_t>(std::max(length, 0)), '\0');
        if (length > 0 && platform::narrow_exact(path, page, out.data(), length) == length) return out;
    }
    return {};
}

// QUORVANT.dll in qvinst.exe's folder; false, with the reason, when qvinst
// cannot read its own path.
bool library_path(platform::wide_text& path, std::string& error) {
    if (platform::path_beside_own_module(path, library_file)) return true;
    error = with_error("cannot read the path of qvinst.exe", GetLastError());
    return false;
}

// "a.b.c.d" from the fixed part of the library's version resource.
bool read_file_version(const platform::wide_text& path, std::string& version, std::string& error) {
    const std::string named = path_text(path.view());
    const auto fail = [&error](std::string reason) {
        error = std::move(reason);
        return false;
    };
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.data(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.data(), 0, size, block.data())) {
        return fail(with_error("cannot read the version resource of " + named, GetLastError()));
    }
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        return fail(named + " has no fixed file version");
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (fixed->dwSignature != VS_FFI_SIGNATURE) return fail(named + " has a malformed version resource");
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                  LOWORD(fixed->dwFileVersionLS));
    version = text;
    return true;
}

std::string reboot_words(DWORD reboot) {
    std::string words;
    if (reboot & DI_NEEDRESTART) words += " DI_NEEDRESTART";
    if (reboot & DI_NEEDREBOOT) words += " DI_NEEDREBOOT";
    return hex_text(reboot) + (words.empty() ? std::string(" (neither restart nor reboot)") : words);
}

DWORD count_compatible_drivers(HDEVINFO set, SP_DEVINFO_DATA* element) {
    SP_DRVINFO_DATA_V2_A driver{};
    DWORD count = 0;
    for (;; ++count) {
        driver.cbSize = platform::driver_info_size;
        if (!SetupDiEnumDriverInfoA(set, element, SPDIT_COMPATDRIVER, count, &driver)) return count;
    }
}

// The selected driver's description, and where the platform found it.
std::string selected_text(HDEVINFO set, SP_DEVINFO_DATA* element) {
    SP_DRVINFO_DATA_V2_A driver{};
    driver.cbSize = platform::driver_info_size;
    if (!SetupDiGetSelectedDriverA(set, element, &driver)) return "none";
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

// The words of each step, in the order of ID_MAIN2::step.
constexpr std::string_view step_words[] = {
    "present devices listed", "device chosen", "set created", "device opened",
    "device made the set's selected device", "install parameters read",
    "search limited to the INF", "driver list built", "class installer run", "driver selected",
    "system directory read", "NEWDEV loaded", "installer entry point found", "installer called",
    "NEWDEV freed", "set destroyed"};
static_assert(std::size(step_words) == static_cast<std::size_t>(step::set_destroyed) + 1);

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
        explained_step s{std::string(step_words[static_cast<std::size_t>(r.what)]), r.ok,
                         std::nullopt, std::string(r.detail)};
        if (!r.ok && r.what != step::device_chosen) s.error = describe_platform_error(r.error);
        switch (r.what) {
            case step::devices_listed:
                if (r.ok) return;  // told only when the walk ends there, with no device
                break;
            case step::device_chosen:
                if (!r.ok) {
                    s.detail = "none of the " + std::to_string(r.value) + " present devices matches";
                }
                break;
            case step::driver_list_built: {
                const DWORD count = count_compatible_drivers(r.set, r.element);
                s.detail = std::to_string(count) + (count == 1 ? " candidate" : " candidates");
                break;
            }
            case step::class_installer_run: s.detail = "DIF_SELECTBESTCOMPATDRV"; break;
            case step::driver_selected:
                s.detail = r.ok ? selected_text(r.set, r.element) : "none";
                break;
            case step::newdev_loaded: s.detail = "from " + s.detail; break;
            case step::installer_called:
                s.detail = std::string(r.ok ? "returned TRUE" : "returned FALSE") +
                           ", reboot word " + reboot_words(r.value);
                break;
            default: break;
        }
        if (live_) write_out(explained_step_text(s));
        steps_.push_back(std::move(s));
    }

    bool live_;
    std::vector<explained_step> steps_;
};

}  // namespace

command_result run_install(const invocation& call) {
    const std::string& inf_path = call.operands.at(0);
    const std::string& compact_id = call.operands.at(1);
    int code = 0;
    if (call.explain) {
        explainer watcher(!call.json);
        const ID_MAIN2::step_sink sink = watcher.sink();
        // As qv7_installdevice does: no parent window.
        code = ID_MAIN2::install_driver_for_device(nullptr, compact_id, inf_path.c_str(), &sink);
        return {explained_report(watcher.steps(), code, call.json), {},
                describe_result(code).exit_status};
    }
    platform::wide_text path;
    std::string error;
    platform::unique_hmodule library;
    FARPROC entry = nullptr;
    if (library_path(path, error)) {
        library.reset(LoadLibraryW(path.data()));
        if (!library) {
            error = with_error("cannot load " + path_text(path.view()), GetLastError());
        } else if (!(entry = GetProcAddress(library.get(), export_name))) {
            error = with_error(path_text(path.view()) + " has no export " + export_name,
                               GetLastError());
        }
    }
    if (!entry) {
        return {{}, "qvinst: " + error + "\n", exit_trouble};
    }
    // FARPROC is a generic function pointer; void(*)() converts to any other.
    using install_device_fn = int(WINAPI*)(const char* inf_path, const char* compact_id);
    code = reinterpret_cast<install_device_fn>(reinterpret_cast<void (*)()>(entry))(
        inf_path.c_str(), compact_id.c_str());
    return {install_report(inf_path, compact_id, code, call.json), {},
            describe_result(code).exit_status};
}

command_result run_version(const invocation&) {
    command_result result{"qvinst " QVINST_VERSION "\n", {}, exit_success};
    platform::wide_text path;
    std::string version;
    std::string error;
    if (library_path(path, error) && read_file_version(path, version, error)) {
        result.out += "QUORVANT.dll " + version + " (" + path_text(path.view()) + ")\n";
    } else {
        result.err = "qvinst: " + error + "\n";
        result.status = exit_trouble;
    }
    return result;
}

}  // namespace qvinst
