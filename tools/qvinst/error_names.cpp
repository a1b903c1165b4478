// The table of platform error names.
#include "tools/qvinst/error_names.h"

#if defined(_WIN32)
#include "platform/platform.h"
#endif

#include <cstdio>
#include <string_view>

namespace qvinst {
namespace {

struct platform_error_info {
    std::uint32_t code;
    std::string_view name;
    std::string_view text;  // one line; empty for system errors
};

// The bits every Setup API error carries, and a Setup API error by its
// number within the family.
constexpr std::uint32_t setup_api_error_bits = 0xE0000000;
constexpr std::uint32_t setup(std::uint32_t low) { return setup_api_error_bits | low; }
constexpr bool is_setup_api_error(std::uint32_t code) {
    return (code & setup_api_error_bits) == setup_api_error_bits;
}

constexpr platform_error_info error_table[] = {
    // System errors the installation steps commonly end with.
    {0, "ERROR_SUCCESS", ""},
    {2, "ERROR_FILE_NOT_FOUND", ""},
    {3, "ERROR_PATH_NOT_FOUND", ""},
    {5, "ERROR_ACCESS_DENIED", ""},
    {6, "ERROR_INVALID_HANDLE", ""},
    {8, "ERROR_NOT_ENOUGH_MEMORY", ""},
    {13, "ERROR_INVALID_DATA", ""},
    {31, "ERROR_GEN_FAILURE", ""},
    {32, "ERROR_SHARING_VIOLATION", ""},
    {50, "ERROR_NOT_SUPPORTED", ""},
    {87, "ERROR_INVALID_PARAMETER", ""},
    {120, "ERROR_CALL_NOT_IMPLEMENTED", ""},
    {122, "ERROR_INSUFFICIENT_BUFFER", ""},
    {126, "ERROR_MOD_NOT_FOUND", ""},
    {127, "ERROR_PROC_NOT_FOUND", ""},
    {193, "ERROR_BAD_EXE_FORMAT", ""},
    {259, "ERROR_NO_MORE_ITEMS", ""},
    {740, "ERROR_ELEVATION_REQUIRED", ""},
    {1223, "ERROR_CANCELLED", ""},
    {1459, "ERROR_REQUIRES_INTERACTIVE_WINDOWSTATION", ""},
    {1784, "ERROR_INVALID_USER_BUFFER", ""},
    // The signature checks (Authenticode) of the driver package: their
    // text comes from the system.
    {0x80092003, "CRYPT_E_FILE_ERROR", ""},
    {0x80096004, "TRUST_E_CERT_SIGNATURE", ""},
    {0x80096010, "TRUST_E_BAD_DIGEST", ""},
    {0x800B0001, "TRUST_E_PROVIDER_UNKNOWN", ""},
    {0x800B0003, "TRUST_E_SUBJECT_FORM_UNKNOWN", ""},
    {0x800B0004, "TRUST_E_SUBJECT_NOT_TRUSTED", ""},
    {0x800B0100, "TRUST_E_NOSIGNATURE", ""},
    {0x800B0101, "CERT_E_EXPIRED", ""},
    {0x800B0109, "CERT_E_UNTRUSTEDROOT", ""},
    {0x800B010A, "CERT_E_CHAINING", ""},
    {0x800B010C, "CERT_E_REVOKED", ""},
    {0x800B010D, "CERT_E_UNTRUSTEDTESTROOT", ""},
    {0x800B0111, "TRUST_E_EXPLICIT_DISTRUST", ""},
    // The Setup API's own errors.
    {setup(0x000), "ERROR_EXPECTED_SECTION_NAME", "A line of the INF stands before any section name."},
    {setup(0x001), "ERROR_BAD_SECTION_NAME_LINE", "A section name line of the INF is malformed."},
    {setup(0x002), "ERROR_SECTION_NAME_TOO_LONG", "A section name of the INF is too long."},
    {setup(0x003), "ERROR_GENERAL_SYNTAX", "The INF has a syntax error."},
    {setup(0x100), "ERROR_WRONG_INF_STYLE", "The file is not an INF of the expected style (no [Version] signature)."},
    {setup(0x101), "ERROR_SECTION_NOT_FOUND", "The INF has no such section."},
    {setup(0x102), "ERROR_LINE_NOT_FOUND", "The INF section has no such line."},
    {setup(0x103), "ERROR_NO_BACKUP", "No backup was made of the files replaced."},
    {setup(0x200), "ERROR_NO_ASSOCIATED_CLASS", "The INF or the device names no setup class."},
    {setup(0x201), "ERROR_CLASS_MISMATCH", "The INF's class does not match the device's class."},
    {setup(0x202), "ERROR_DUPLICATE_FOUND", "A duplicate device was found."},
    {setup(0x203), "ERROR_NO_DRIVER_SELECTED", "No driver is selected for the device."},
    {setup(0x204), "ERROR_KEY_DOES_NOT_EXIST", "The requested registry key does not exist."},
    {setup(0x205), "ERROR_INVALID_DEVINST_NAME", "The device instance name is invalid."},
    {setup(0x206), "ERROR_INVALID_CLASS", "The setup class is not valid."},
    {setup(0x207), "ERROR_DEVINST_ALREADY_EXISTS", "A device with that instance name already exists."},
    {setup(0x208), "ERROR_DEVINFO_NOT_REGISTERED", "The device has not been registered."},
    {setup(0x209), "ERROR_INVALID_REG_PROPERTY", "The device registry property is not valid."},
    {setup(0x20A), "ERROR_NO_INF", "The INF named for the driver list does not exist."},
    {setup(0x20B), "ERROR_NO_SUCH_DEVINST", "No device with that instance ID exists."},
    {setup(0x20C), "ERROR_CANT_LOAD_CLASS_ICON", "The setup class icon cannot be loaded."},
    {setup(0x20D), "ERROR_INVALID_CLASS_INSTALLER", "The class installer is not valid."},
    {setup(0x20E), "ERROR_DI_DO_DEFAULT", "The class installer asks for the default action."},
    {setup(0x20F), "ERROR_DI_NOFILECOPY", "The operation needs no file copy."},
    {setup(0x210), "ERROR_INVALID_HWPROFILE", "The hardware profile is not valid."},
    {setup(0x211), "ERROR_NO_DEVICE_SELECTED", "No device is selected in the set."},
    {setup(0x212), "ERROR_DEVINFO_LIST_LOCKED", "The device information set is locked."},
    {setup(0x213), "ERROR_DEVINFO_DATA_LOCKED", "The device information element is locked."},
    {setup(0x214), "ERROR_DI_BAD_PATH", "The driver path is not valid."},
    {setup(0x215), "ERROR_NO_CLASSINSTALL_PARAMS", "No class install parameters are set."},
    {setup(0x216), "ERROR_FILEQUEUE_LOCKED", "The file queue is locked."},
    {setup(0x217), "ERROR_BAD_SERVICE_INSTALLSECT", "The INF's service install section is malformed."},
    {setup(0x218), "ERROR_NO_CLASS_DRIVER_LIST", "There is no class driver list."},
    {setup(0x219), "ERROR_NO_ASSOCIATED_SERVICE", "The device has no associated service."},
    {setup(0x21A), "ERROR_NO_DEFAULT_DEVICE_INTERFACE", "There is no default device interface."},
    {setup(0x21B), "ERROR_DEVICE_INTERFACE_ACTIVE", "The device interface is in use."},
    {setup(0x21C), "ERROR_DEVICE_INTERFACE_REMOVED", "The device interface has been removed."},
    {setup(0x21D), "ERROR_BAD_INTERFACE_INSTALLSECT", "The INF's interface install section is malformed."},
    {setup(0x21E), "ERROR_NO_SUCH_INTERFACE_CLASS", "No such interface class exists."},
    {setup(0x21F), "ERROR_INVALID_REFERENCE_STRING", "The reference string is not valid."},
    {setup(0x220), "ERROR_INVALID_MACHINENAME", "The machine name is not valid."},
    {setup(0x221), "ERROR_REMOTE_COMM_FAILURE", "Communication with the remote machine failed."},
    {setup(0x222), "ERROR_MACHINE_UNAVAILABLE", "The machine is not available."},
    {setup(0x223), "ERROR_NO_CONFIGMGR_SERVICES", "The Plug and Play service is not available."},
    {setup(0x224), "ERROR_INVALID_PROPPAGE_PROVIDER", "The property page provider is not valid."},
    {setup(0x225), "ERROR_NO_SUCH_DEVICE_INTERFACE", "No such device interface exists."},
    {setup(0x226), "ERROR_DI_POSTPROCESSING_REQUIRED", "The installer needs post-processing."},
    {setup(0x227), "ERROR_INVALID_COINSTALLER", "A co-installer is not valid."},
    {setup(0x228), "ERROR_NO_COMPAT_DRIVERS", "The INF holds no driver compatible with the device."},
    {setup(0x229), "ERROR_NO_DEVICE_ICON", "The device has no icon."},
    {setup(0x22A), "ERROR_INVALID_INF_LOGCONFIG", "A LogConfig section of the INF is not valid."},
    {setup(0x22B), "ERROR_DI_DONT_INSTALL", "The class installer declined to install the device."},
    {setup(0x22C), "ERROR_INVALID_FILTER_DRIVER", "A filter driver is not valid."},
    {setup(0x22D), "ERROR_NON_WINDOWS_NT_DRIVER", "The driver is not meant for Windows NT."},
    {setup(0x22E), "ERROR_NON_WINDOWS_DRIVER", "The driver is not meant for Windows."},
    {setup(0x22F), "ERROR_NO_CATALOG_FOR_OEM_INF", "The INF names no catalog file, or the catalog is missing."},
    {setup(0x230), "ERROR_DEVINSTALL_QUEUE_NONNATIVE", "The file queue holds files of another architecture."},
    {setup(0x231), "ERROR_NOT_DISABLEABLE", "The device cannot be disabled."},
    {setup(0x232), "ERROR_CANT_REMOVE_DEVINST", "The device cannot be removed."},
    {setup(0x233), "ERROR_INVALID_TARGET", "The target is not valid."},
    {setup(0x234), "ERROR_DRIVER_NONNATIVE", "The driver is not for this platform's architecture."},
    {setup(0x235), "ERROR_IN_WOW64", "A 32-bit process cannot install drivers on 64-bit Windows."},
    {setup(0x236), "ERROR_SET_SYSTEM_RESTORE_POINT", "A system restore point could not be set."},
    {setup(0x237), "ERROR_INCORRECTLY_COPIED_INF", "The INF was copied incorrectly into the INF folder."},
    {setup(0x238), "ERROR_SCE_DISABLED", "The security configuration editor is disabled."},
    {setup(0x239), "ERROR_UNKNOWN_EXCEPTION", "An unknown exception occurred inside the Setup API."},
    {setup(0x23A), "ERROR_PNP_REGISTRY_ERROR", "The Plug and Play registry is damaged."},
    {setup(0x23B), "ERROR_REMOTE_REQUEST_UNSUPPORTED", "The request is not supported on a remote machine."},
    {setup(0x23C), "ERROR_NOT_AN_INSTALLED_OEM_INF", "The INF is not an installed OEM INF."},
    {setup(0x23D), "ERROR_INF_IN_USE_BY_DEVICES", "Devices still use the INF."},
    {setup(0x23E), "ERROR_DI_FUNCTION_OBSOLETE", "The installer function is obsolete."},
    {setup(0x23F), "ERROR_NO_AUTHENTICODE_CATALOG", "No Authenticode catalog was found for the INF."},
    {setup(0x240), "ERROR_AUTHENTICODE_DISALLOWED", "Authenticode signatures are not allowed here."},
    {setup(0x241), "ERROR_AUTHENTICODE_TRUSTED_PUBLISHER", "The publisher is trusted (Authenticode)."},
    {setup(0x242), "ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED", "Trust in the publisher is not established."},
    {setup(0x243), "ERROR_AUTHENTICODE_PUBLISHER_NOT_TRUSTED", "The publisher is not trusted."},
    {setup(0x244), "ERROR_SIGNATURE_OSATTRIBUTE_MISMATCH", "The signature does not cover this version of Windows."},
    {setup(0x245), "ERROR_ONLY_VALIDATE_VIA_AUTHENTICODE", "The file can be validated only by Authenticode."},
    {setup(0x246), "ERROR_DEVICE_INSTALLER_NOT_READY", "The device installer is not ready."},
    {setup(0x247), "ERROR_DRIVER_STORE_ADD_FAILED", "The driver package could not be added to the driver store."},
    {setup(0x248), "ERROR_DEVICE_INSTALL_BLOCKED", "A policy blocks installing this device."},
    {setup(0x249), "ERROR_DRIVER_INSTALL_BLOCKED", "A policy blocks installing this driver."},
    {setup(0x24A), "ERROR_WRONG_INF_TYPE", "The INF is of the wrong type for this operation."},
    {setup(0x24B), "ERROR_FILE_HASH_NOT_IN_CATALOG", "A file's hash is missing from the driver's catalog."},
    {setup(0x24C), "ERROR_DRIVER_STORE_DELETE_FAILED", "The driver package could not be deleted from the driver store."},
    {setup(0x300), "ERROR_UNRECOVERABLE_STACK_OVERFLOW", "An unrecoverable stack overflow occurred."},
    {setup(0x1000), "ERROR_NOT_INSTALLED", "The component is not installed."},
};

// Each number once; a text for every Setup API error, which the system's
// message table does not know, and for no other.
constexpr bool table_is_sound() {
    for (const platform_error_info& row : error_table) {
        for (const platform_error_info& other : error_table) {
            if (&other != &row && other.code == row.code) return false;
        }
        if (is_setup_api_error(row.code) == row.text.empty()) return false;
    }
    return true;
}
static_assert(table_is_sound());

}  // namespace

std::string hex_text(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::string error_number_text(std::uint32_t code) {
    // Values from 0x80000000 up are written in hexadecimal.
    return code < 0x80000000 ? std::to_string(code) : hex_text(code);
}

std::string error_line(const platform_error& error) {
    return error.name + " (" + error_number_text(error.code) + ")" +
           (error.text.empty() ? "" : " " + error.text);
}

platform_error describe_platform_error(std::uint32_t code) {
    platform_error error{code, "error " + error_number_text(code), {}};
    for (const platform_error_info& row : error_table) {
        if (row.code == code) {
            error.name = std::string(row.name);
            error.text = std::string(row.text);
        }
    }
#if defined(_WIN32)
    if (!error.text.empty() || is_setup_api_error(code)) {
        return error;  // the system's message table does not know the family
    }
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&message), 0, nullptr);
    if (length != 0 && message) {
        std::string text(message, length);
        const std::size_t end = text.find_last_not_of("\r\n ");
        text.erase(end == std::string::npos ? 0 : end + 1);
        error.text = text;
    }
    LocalFree(message);
#endif
    return error;
}

}  // namespace qvinst
