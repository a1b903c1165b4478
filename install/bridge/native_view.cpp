// The caller's file-system view.
#include "install/bridge/native_view.h"

#include <algorithm>
#include <iterator>

namespace wow64 {
namespace {

// Subfolders of System32 that the WOW64 file system redirector leaves alone.
constexpr std::wstring_view unredirected[] = {L"catroot", L"catroot2", L"driverstore",
                                              L"drivers\\etc", L"logfiles", L"spool"};

wchar_t ascii_lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; }

bool same_folder_name(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return ascii_lower(x) == ascii_lower(y); });
}

// Where the part of `path` below `folder` starts (after the separating
// backslash), or npos when `path` does not lie below it.
std::size_t below(std::wstring_view path, std::wstring_view folder) {
    while (!folder.empty() && folder.back() == L'\\') folder.remove_suffix(1);
    if (folder.empty() || path.size() <= folder.size() + 1 || path[folder.size()] != L'\\' ||
        !same_folder_name(path.substr(0, folder.size()), folder)) {
        return std::wstring_view::npos;
    }
    return folder.size() + 1;
}

// Whether `rest` is `folder` or lies below it.
bool within(std::wstring_view rest, std::wstring_view folder) {
    return same_folder_name(rest.substr(0, folder.size()), folder) &&
           (rest.size() == folder.size() || rest[folder.size()] == L'\\');
}

}  // namespace

redirection native_view(std::wstring_view full_path, const view_folders& folders) {
    const redirection unchanged{0, {}};
    if (folders.system_x86.empty()) {
        return unchanged;
    }
    if (const std::size_t rest = below(full_path, folders.system); rest != std::wstring_view::npos) {
        const std::wstring_view tail = full_path.substr(rest);
        const bool redirected = std::none_of(std::begin(unredirected), std::end(unredirected),
                                             [&](std::wstring_view f) { return within(tail, f); });
        return redirected ? redirection{rest - 1, folders.system_x86} : unchanged;
    }
    constexpr std::wstring_view sysnative = L"sysnative";
    if (const std::size_t rest = below(full_path, folders.windows); rest != std::wstring_view::npos) {
        const std::wstring_view tail = full_path.substr(rest);
        if (within(tail, sysnative) && tail.size() > sysnative.size()) {
            return {rest + sysnative.size(), folders.system};
        }
    }
    return unchanged;
}

}  // namespace wow64
