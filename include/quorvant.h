/*
 * QUORVANT.dll: installs the driver from one INF file onto one present
 * device, named by a compact ID.
 *
 *   int QV7_CALL qv7_installdevice(const char *inf_path, const char *compact_id);
 *
 * Both arguments are zero-terminated ANSI texts; a null pointer counts as
 * empty text. The library keeps no reference to them and never writes to
 * them. The device is the present device whose first hardware ID converts
 * to a compact ID matching `compact_id` (the one enumerated last when
 * several match); the driver search reads only `inf_path`.
 *
 * Calls may come from several threads: the library serialises them, so a
 * call that starts while another runs waits until that one has returned.
 * A call returns when its work is done.
 *
 * Exported by name (ordinal 1). The 32-bit library uses the standard
 * Windows calling convention: the caller pushes two 32-bit pointers, the
 * function removes them (8 bytes). The x64 library uses the x64 convention.
 *
 * When the call returns, the calling thread's last error (GetLastError)
 * holds the platform's error of the step that decided the result:
 *   1, 2, 3  0
 *   -1       ERROR_NO_MORE_ITEMS when the walk over the present devices
 *            ended without a match; the walk's or the instance-ID read's
 *            error when one failed
 *   -2       the first step of the driver selection that failed (for
 *            example ERROR_FILE_NOT_FOUND, ERROR_NO_COMPAT_DRIVERS), or
 *            ERROR_FILENAME_EXCED_RANGE for an INF path too long
 *   -3, -8   the error InstallSelectedDriver failed with
 *   -4       ERROR_INVALID_PARAMETER
 *   -7       the error loading NEWDEV.DLL failed with
 *   -9       the error GetProcAddress failed with (ERROR_PROC_NOT_FOUND)
 *   -10      ERROR_NOT_ENOUGH_MEMORY
 * A call waits for the system's driver installer for as long as it takes.
 *
 * On 64-bit Windows, where a 32-bit process may not install drivers, the
 * 32-bit library runs the call in QUORVANT64.exe when that file stands in
 * the library's own folder, and returns its result code.
 */
#ifndef QUORVANT_H
#define QUORVANT_H

#if defined(_WIN32)
#define QV7_CALL __stdcall
#else
#define QV7_CALL
#endif

/* Result codes. Positive: the driver was installed. Negative: it was not.
 * 0, -5 and -6 never occur. */
#define QV7_INSTALLED_NEEDS_RESTART 3  /* installed; the installer asked for a restart (DI_NEEDRESTART) */
#define QV7_INSTALLED_NEEDS_REBOOT 2   /* installed; the installer asked for a reboot (DI_NEEDREBOOT) */
#define QV7_INSTALLED 1                /* installed; no restart or reboot needed */
#define QV7_E_NO_DEVICE (-1)           /* no present device matches the compact ID (or its instance ID could not be read) */
#define QV7_E_NO_DRIVER (-2)           /* the INF holds no driver selected for the device: missing, unreadable or not matching INF, or the device could not be opened */
#define QV7_E_INSTALL_FAILED (-3)      /* InstallSelectedDriver failed */
#define QV7_E_NO_INF_PATH (-4)         /* the INF path is null or empty; nothing was done */
#define QV7_E_NO_NEWDEV (-7)           /* NEWDEV.DLL could not be loaded from the system directory */
#define QV7_E_NOT_NT_DRIVER (-8)       /* InstallSelectedDriver failed with ERROR_NON_WINDOWS_NT_DRIVER (0xE000022D) */
#define QV7_E_NO_ENTRY_POINT (-9)      /* NEWDEV.DLL has no entry point InstallSelectedDriver */
#define QV7_E_OUT_OF_MEMORY (-10)      /* the library ran out of memory (or failed inside); nothing more was done */

#ifdef __cplusplus
extern "C" {
#endif

int QV7_CALL qv7_installdevice(const char *inf_path, const char *compact_id);

#ifdef __cplusplus
}
#endif

#endif /* QUORVANT_H */
