// Where the install action leaves the mark of a reboot that a driver
// installation of a product needs, for the immediate action after
// InstallFinalize: a REG_DWORD value named by the ProductCode, holding the
// result code, in this volatile key of HKLM's 64-bit view (one key for the
// 32-bit and 64-bit actions; only an elevated process may write there, and
// a reboot clears it).
#pragma once

namespace custom_action {

inline constexpr wchar_t pending_reboot_key[] = L"SOFTWARE\\QUORVANT\\PendingReboot";

}  // namespace custom_action
