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
 * Calls must not overlap: the library takes no lock and keeps the last
 * call's wanted ID and found device between calls, so a program that could
 * call from several threads must serialise its calls. Everything a call
 * does happens on the caller's thread before it returns.
 *
 * Exported by name (ordinal 1), standard Windows calling convention: the
 * caller pushes two 32-bit pointers, the function removes them (8 bytes).
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
