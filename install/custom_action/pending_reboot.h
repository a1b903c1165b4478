// Where the install and remove actions leave the mark of a reboot that a
// driver installation or removal of a product needs, for the immediate
// action after InstallFinalize: a REG_DWORD value named by the ProductCode,
// holding the installation's result code (2 or 3) or removal_restart_mark,
// in this volatile key of HKLM's 64-bit view (one key for the 32-bit and
// 64-bit actions; only an elevated process may write there, and a reboot
// clears it).
#pragma once

namespace custom_action {

inline constexpr wchar_t pending_reboot_key[] = L"SOFTWARE\\QUORVANT\\PendingReboot";

// The mark of a removal that needs a restart (ERROR_SUCCESS_REBOOT_REQUIRED).
inline constexpr unsigned long removal_restart_mark = 3010;

}  // namespace custom_action
