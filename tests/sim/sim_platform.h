// Simulated platform for the host build: the Windows types, constants and
// Setup API / kernel operations that install/ uses, under their Windows
// names, served by an in-process model of present devices, INF driver data
// and NEWDEV.DLL. Tests steer and inspect it through sim_control.h.
//
// Records are laid out as on 32-bit Windows (the fields the library never
// touches are kept as 32-bit words), so the size fields carry the same
// values as on the real platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#define WINAPI
#define CALLBACK

using BOOL = int;
using BYTE = std::uint8_t;
using USHORT = unsigned short;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using ULONG_PTR = std::uintptr_t;
using CHAR = char;
using PBYTE = BYTE*;
using PDWORD = DWORD*;
using LPSTR = char*;
using PSTR = char*;
using LPCSTR = const char*;
using PCSTR = const char*;
using HANDLE = void*;
using LPVOID = void*;
using SIZE_T = std::size_t;
using HDEVINFO = void*;
using LONG = std::int32_t;
using REGSAM = DWORD;
struct HKEY__;
using HKEY = HKEY__*;
struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HMODULE = HINSTANCE__*;
using FARPROC = void (*)();

#define TRUE 1
#define FALSE 0
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
#define MAX_PATH 260

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};

struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    std::uint32_t Reserved;  // ULONG_PTR on the 32-bit platform
};
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;

struct SP_DEVINSTALL_PARAMS_A {
    DWORD cbSize;
    DWORD Flags;
    DWORD FlagsEx;
    std::uint32_t hwndParent;                // HWND
    std::uint32_t InstallMsgHandler;         // PSP_FILE_CALLBACK_A
    std::uint32_t InstallMsgHandlerContext;  // PVOID
    std::uint32_t FileQueue;                 // HSPFILEQ
    std::uint32_t ClassInstallReserved;      // ULONG_PTR
    DWORD Reserved;
    CHAR DriverPath[MAX_PATH];
};
using PSP_DEVINSTALL_PARAMS_A = SP_DEVINSTALL_PARAMS_A*;

#pragma pack(push, 1)
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
struct SP_DRVINFO_DATA_V2_A {
    DWORD cbSize;
    DWORD DriverType;
    std::uint32_t Reserved;  // ULONG_PTR
    CHAR Description[256];
    CHAR MfgName[256];
    CHAR ProviderName[256];
    FILETIME DriverDate;
    std::uint64_t DriverVersion;
};
#pragma pack(pop)
using SP_DRVINFO_DATA_A = SP_DRVINFO_DATA_V2_A;
using PSP_DRVINFO_DATA_A = SP_DRVINFO_DATA_V2_A*;


// Constants, by their Windows names and values.
inline constexpr DWORD DIGCF_PRESENT = 0x2;
inline constexpr DWORD DIGCF_ALLCLASSES = 0x4;
inline constexpr DWORD SPDRP_HARDWAREID = 0x1;
inline constexpr DWORD DI_NEEDRESTART = 0x80;
inline constexpr DWORD DI_NEEDREBOOT = 0x100;
inline constexpr DWORD DI_ENUMSINGLEINF = 0x10000;
inline constexpr DWORD DI_FLAGSEX_ALLOWEXCLUDEDDRVS = 0x800;
inline constexpr DWORD SPDIT_COMPATDRIVER = 2;
inline constexpr DWORD DIF_SELECTBESTCOMPATDRV = 0x17;
inline constexpr DWORD DIF_REMOVE = 0x5;
inline constexpr DWORD DICS_FLAG_GLOBAL = 0x1;
inline constexpr DWORD DIREG_DRV = 0x2;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD SPOST_NONE = 0;
inline constexpr DWORD SPOST_PATH = 1;
inline constexpr DWORD SP_COPY_REPLACEONLY = 0x2;
inline constexpr DWORD SP_COPY_NOOVERWRITE = 0x8;
inline constexpr DWORD SUOI_FORCEDELETE = 0x1;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
// Machine types, as IsWow64Process2 reports them.
inline constexpr USHORT IMAGE_FILE_MACHINE_UNKNOWN = 0;
inline constexpr USHORT IMAGE_FILE_MACHINE_I386 = 0x014c;
inline constexpr USHORT IMAGE_FILE_MACHINE_AMD64 = 0x8664;
inline constexpr USHORT IMAGE_FILE_MACHINE_ARM64 = 0xAA64;
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
inline constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784;
inline constexpr DWORD ERROR_NO_SUCH_DEVINST = 0xE000020B;
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_NO_DRIVER_SELECTED = 0xE0000203;
inline constexpr DWORD ERROR_NO_DEVICE_SELECTED = 0xE0000211;
inline constexpr DWORD ERROR_NO_COMPAT_DRIVERS = 0xE0000228;
inline constexpr DWORD ERROR_NON_WINDOWS_NT_DRIVER = 0xE000022D;
inline constexpr DWORD ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED = 0xE0000242;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_WRONG_INF_STYLE = 0xE0000100;
inline constexpr DWORD ERROR_KEY_DOES_NOT_EXIST = 0xE0000204;
inline constexpr DWORD ERROR_INF_IN_USE_BY_DEVICES = 0xE000023D;

// Setup API.
HDEVINFO SetupDiGetClassDevsA(const GUID* class_guid, PCSTR enumerator, HWND parent, DWORD flags);
BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA element);
BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA element, DWORD property,
                                       PDWORD value_type, PBYTE buffer, DWORD buffer_size,
                                       PDWORD required_size);
BOOL SetupDiGetDeviceInstanceIdA(HDEVINFO set, PSP_DEVINFO_DATA element, PSTR buffer,
                                 DWORD buffer_size, PDWORD required_size);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);
HDEVINFO SetupDiCreateDeviceInfoList(const GUID* class_guid, HWND parent);
BOOL SetupDiOpenDeviceInfoA(HDEVINFO set, PCSTR instance_id, HWND parent, DWORD open_flags,
                            PSP_DEVINFO_DATA element);
BOOL SetupDiSetSelectedDevice(HDEVINFO set, PSP_DEVINFO_DATA element);
BOOL SetupDiGetDeviceInstallParamsA(HDEVINFO set, PSP_DEVINFO_DATA element,
                                    PSP_DEVINSTALL_PARAMS_A params);
BOOL SetupDiSetDeviceInstallParamsA(HDEVINFO set, PSP_DEVINFO_DATA element,
                                    PSP_DEVINSTALL_PARAMS_A params);
BOOL SetupDiBuildDriverInfoList(HDEVINFO set, PSP_DEVINFO_DATA element, DWORD driver_type);
BOOL SetupDiCallClassInstaller(DWORD function, HDEVINFO set, PSP_DEVINFO_DATA element);
BOOL SetupDiGetSelectedDriverA(HDEVINFO set, PSP_DEVINFO_DATA element,
                               PSP_DRVINFO_DATA_A driver);
HKEY SetupDiOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA element, DWORD scope, DWORD profile,
                          DWORD key_type, REGSAM access);
BOOL SetupCopyOEMInfA(PCSTR source, PCSTR media_location, DWORD media_type, DWORD style,
                      PSTR destination, DWORD destination_size, PDWORD required_size,
                      PSTR* file_part);
BOOL SetupUninstallOEMInfA(PCSTR inf_name, DWORD flags, LPVOID reserved);

// Registry.
LONG RegQueryValueExA(HKEY key, LPCSTR name, PDWORD reserved, PDWORD type, PBYTE data,
                      PDWORD size);
LONG RegCloseKey(HKEY key);

// Kernel services.
DWORD GetFullPathNameA(LPCSTR path, DWORD size, LPSTR buffer, LPSTR* file_part);
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
DWORD GetFileAttributesA(LPCSTR path);
HMODULE LoadLibraryA(LPCSTR path);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
DWORD GetLastError();
void SetLastError(DWORD error);
BOOL CloseHandle(HANDLE handle);

// The process heap: HeapAlloc returns null when it has no memory.
HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);

// SRW locks: a lock is ready as the constant SRWLOCK_INIT.
struct SRWLOCK {
    std::mutex mutex;
};
#define SRWLOCK_INIT {}
void AcquireSRWLockExclusive(SRWLOCK* lock);
void ReleaseSRWLockExclusive(SRWLOCK* lock);
