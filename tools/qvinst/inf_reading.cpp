// Reading an INF's models, and the platform's choice among the decorations
// of a manufacturer line.
#include "tools/qvinst/inf_reading.h"

#if defined(_WIN32)
#include "platform/unique_handle.h"
#endif

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <tuple>

namespace qvinst {
namespace {

constexpr std::string_view nt_prefix = "nt";
constexpr std::string_view x86 = "x86";

enum field : std::size_t { major, minor, product_type, suite_mask, build, field_count };

struct decoration {
    std::string_view architecture;
    std::array<std::optional<unsigned long>, field_count> fields;
};

// A number in decimal or, with "0x", hexadecimal; none for an empty field or
// one that is no number.
std::optional<unsigned long> number(std::string_view text) {
    const std::string digits(text);
    char* end = nullptr;
    const unsigned long value = std::strtoul(digits.c_str(), &end, 0);
    if (digits.empty() || end != digits.c_str() + digits.size()) return std::nullopt;
    return value;
}

std::optional<decoration> parse(std::string_view text) {
    if (text.size() < nt_prefix.size() || !same_text(text.substr(0, nt_prefix.size()), nt_prefix)) {
        return std::nullopt;
    }
    text.remove_prefix(nt_prefix.size());
    decoration out;
    std::size_t dot = text.find('.');
    out.architecture = text.substr(0, dot);
    for (std::size_t f = major; f < field_count && dot != std::string_view::npos; ++f) {
        text.remove_prefix(dot + 1);
        dot = text.find('.');
        out.fields[f] = number(text.substr(0, dot));
    }
    return out;
}

bool architecture_applies(const decoration& d, const target_system& system) {
    return d.architecture.empty() ? system.architecture == x86
                                  : same_text(d.architecture, system.architecture);
}

unsigned long value_of(const decoration& d, field f) { return d.fields[f].value_or(0); }

bool applies(const decoration& d, const target_system& system) {
    const auto version = std::make_tuple(value_of(d, major), value_of(d, minor), value_of(d, build));
    const auto running = std::make_tuple(system.major, system.minor, system.build);
    const auto& type = d.fields[product_type];
    const unsigned long suites = value_of(d, suite_mask);
    return architecture_applies(d, system) && version <= running &&
           (!type || *type == system.product_type) && (system.suite_mask & suites) == suites;
}

// Orders the decorations that apply: the one the platform prefers is largest.
auto preference(const decoration& d) {
    const bool names_product = d.fields[product_type] || d.fields[suite_mask];
    return std::make_tuple(value_of(d, major), value_of(d, minor), value_of(d, build),
                           names_product, !d.architecture.empty());
}

}  // namespace

bool same_text(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::size_t> chosen_decoration(const std::vector<std::string>& listed,
                                             const target_system& system) {
    std::optional<std::size_t> chosen;
    std::optional<decoration> best;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::optional<decoration> d = parse(listed[i]);
        if (d && applies(*d, system) && (!best || preference(*d) > preference(*best))) {
            best = d;
            chosen = i;
        }
    }
    return chosen;
}

bool reads_undecorated(const std::vector<std::string>& listed, const target_system& system) {
    return system.architecture == x86 && !chosen_decoration(listed, system);
}

bool for_architecture(std::string_view decoration, const target_system& system) {
    if (decoration.empty()) return system.architecture == x86;
    const std::optional<struct decoration> d = parse(decoration);
    return d && architecture_applies(*d, system);
}


bool contains_id(const std::vector<std::string>& ids, std::string_view id) {
    return std::any_of(ids.begin(), ids.end(),
                       [&](const std::string& item) { return same_text(item, id); });
}

#if defined(_WIN32)
namespace {

constexpr const char* version_section = "Version";
constexpr const char* signature_key = "Signature";
constexpr const char* manufacturer_section = "Manufacturer";
constexpr const char* control_flags_section = "ControlFlags";
// ExcludeFromSelect, undecorated and for Windows NT on this architecture.
constexpr std::string_view exclude_key = "ExcludeFromSelect";
// Fields of a manufacturer line: 0 its name, 1 the models section, 2.. its
// decorations. Fields of a model line: 0 its name, 1 the install section,
// 2.. its IDs.
constexpr DWORD key_field = 0;
constexpr DWORD first_name_field = 1;
constexpr DWORD first_list_field = 2;

std::string field_text(INFCONTEXT& line, DWORD field) {
    DWORD required = 0;
    if (!SetupGetStringFieldA(&line, field, nullptr, 0, &required) || required == 0) {
        return {};
    }
    std::vector<char> buffer(required);
    if (!SetupGetStringFieldA(&line, field, buffer.data(), required, nullptr)) {
        return {};
    }
    return std::string(buffer.data());
}

// Fields from `first` to the end of the line, empty ones left out.
std::vector<std::string> fields_from(INFCONTEXT& line, DWORD first) {
    std::vector<std::string> out;
    const DWORD count = SetupGetFieldCount(&line);
    for (DWORD field = first; field <= count; ++field) {
        std::string text = field_text(line, field);
        if (!text.empty()) out.push_back(std::move(text));
    }
    return out;
}

// The section's IDs into `models`, and each of its lines into `lines`.
void read_model_section(HINF inf, const std::string& manufacturer, model_section models,
                        inf_reading& out) {
    INFCONTEXT line{};
    for (BOOL more = SetupFindFirstLineA(inf, models.section.c_str(), nullptr, &line); more;
         more = SetupFindNextLine(&line, &line)) {
        std::vector<std::string> ids = fields_from(line, first_list_field);
        models.ids.insert(models.ids.end(), ids.begin(), ids.end());
        out.lines.push_back({manufacturer, field_text(line, key_field),
                             field_text(line, first_name_field), std::move(ids), models.applies});
    }
    out.models.push_back(std::move(models));
}

// The version of the running system, as RtlGetVersion tells it: the
// version functions of kernel32 report an older one to programs that do
// not declare this one in their manifest.
target_system running_system() {
    target_system system;
    system.architecture = build_architecture;
    using rtl_get_version_fn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const FARPROC found = ntdll ? GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (found && reinterpret_cast<rtl_get_version_fn>(reinterpret_cast<void (*)()>(found))(
                     &version) == 0) {
        system.major = version.dwMajorVersion;
        system.minor = version.dwMinorVersion;
        system.build = version.dwBuildNumber;
        system.product_type = version.wProductType;
        system.suite_mask = version.wSuiteMask;
    }
    return system;
}

void read_models(HINF inf, inf_reading& out) {
    const target_system system = running_system();
    INFCONTEXT line{};
    for (BOOL more = SetupFindFirstLineA(inf, manufacturer_section, nullptr, &line); more;
         more = SetupFindNextLine(&line, &line)) {
        const std::string base = field_text(line, first_name_field);
        if (base.empty()) continue;
        const std::string manufacturer = field_text(line, key_field);
        const std::vector<std::string> decorations = fields_from(line, first_list_field);
        const std::optional<std::size_t> chosen = chosen_decoration(decorations, system);
        read_model_section(inf, manufacturer,
                           {base, {}, reads_undecorated(decorations, system), for_architecture({}, system), {}}, out);
        for (std::size_t i = 0; i < decorations.size(); ++i) {
            read_model_section(inf, manufacturer,
                               {base + "." + decorations[i], decorations[i], chosen == i,
                                for_architecture(decorations[i], system), {}},
                               out);
        }
    }
}

void read_exclusions(HINF inf, inf_reading& out) {
    const std::string keys[] = {std::string(exclude_key), std::string(exclude_key) + ".NT",
                                std::string(exclude_key) + ".NT" + std::string(build_architecture)};
    for (const std::string& key : keys) {
        INFCONTEXT line{};
        for (BOOL more = SetupFindFirstLineA(inf, control_flags_section, key.c_str(), &line); more;
             more = SetupFindNextMatchLineA(&line, key.c_str(), &line)) {
            for (std::string& id : fields_from(line, first_name_field)) {
                out.excluded_ids.push_back(std::move(id));
            }
        }
    }
}

}  // namespace

inf_reading read_inf_models(const std::string& path) {
    inf_reading out;
    const auto fail = [&out](no_driver_reason trouble, DWORD error) {
        out.trouble = trouble;
        out.error = error;
        return out;
    };
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return fail(no_driver_reason::inf_missing,
                    attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_ACCESS_DENIED);
    }
    if (!platform::unique_handle{CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)}) {
        return fail(no_driver_reason::inf_missing, GetLastError());
    }
    UINT error_line = 0;
    const platform::unique_hinf inf{
        SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, &error_line)};
    INFCONTEXT signature{};
    if (!inf || !SetupFindFirstLineA(inf.get(), version_section, signature_key, &signature)) {
        return fail(no_driver_reason::not_an_inf, GetLastError());
    }
    read_models(inf.get(), out);
    read_exclusions(inf.get(), out);
    return out;
}

#endif

}  // namespace qvinst
