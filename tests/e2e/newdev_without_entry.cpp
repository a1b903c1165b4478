// A NEWDEV.DLL that loads but lacks the "InstallSelectedDriver" entry point:
// its only export has another name.
#include <windows.h>

extern "C" __declspec(dllexport) BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(
    HWND, LPCSTR, LPCSTR, DWORD, PBOOL) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
