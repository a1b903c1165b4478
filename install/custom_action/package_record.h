// Where the actions record the driver package that a product staged, so
// that its rollback and its uninstall remove exactly that package: a key
// named by the ProductCode under this non-volatile key of HKLM's 64-bit
// view (one key for the 32-bit and 64-bit actions), holding
//   PublishedName  REG_SZ     the package's published name in the INF folder
//   StagedBefore   REG_DWORD  1 when the package was in the driver store
//                             before this product staged it: it belongs to
//                             someone else and stays; 0 otherwise
#pragma once

namespace custom_action {

inline constexpr wchar_t package_record_key[] = L"SOFTWARE\\QUORVANT\\Packages";
inline constexpr wchar_t published_name_value[] = L"PublishedName";
inline constexpr char published_name_ansi[] = "PublishedName";  // the same, for the ANSI reading
inline constexpr wchar_t staged_before_value[] = L"StagedBefore";

}  // namespace custom_action
