// Which NEWDEV.DLL the library finds in the prefix's system directory, and
// how the substitute behaves there.
//
// Wine loads its own built-in newdev for a path in the system directory
// unless the DllOverrides key says "native"; the loader reads that key at
// every load, so the runner can switch between Wine's own, a substitute and
// none within one process. WINEDLLOVERRIDES must not name newdev: it would
// take precedence over the key.
#pragma once

#include <string>

namespace e2e {

enum class newdev_kind {
    wine_builtin,   // Wine's own NEWDEV.DLL
    substitute,     // newdev_substitute.dll, steered through newdev_protocol.h
    without_entry,  // newdev_without_entry.dll: no InstallSelectedDriver
    missing,        // no newdev.dll file; native only
    disabled,       // the loader refuses newdev whatever the file
};

const char* kind_name(newdev_kind kind);

// The 64-bit builds of the two substitutes, for a 32-bit runner on 64-bit
// Windows: the library's 64-bit helper loads NEWDEV.DLL from the native
// system directory, so every switch puts the 64-bit file of the same kind
// there too.
struct native_substitutes {
    std::string substitute_path;
    std::string without_entry_path;
};

class newdev_switch {
public:
    // The two substitute DLLs, as Windows paths; `native` empty unless the
    // runner is a 32-bit process on 64-bit Windows.
    newdev_switch(std::string substitute_path, std::string without_entry_path,
                  native_substitutes native = {});

    // Puts the wanted NEWDEV in place; false (and `error`) when that fails.
    bool use(newdev_kind kind, std::string& error);

    // system directory + "\newdev.dll"
    const std::string& system_path() const { return system_path_; }

private:
    bool set_override(const char* value, std::string& error);
    bool place(const std::string& source, const std::string& native_source, std::string& error);
    bool remove(std::string& error);

    std::string substitute_path_;
    std::string without_entry_path_;
    native_substitutes native_;
    std::string system_path_;
    std::string native_path_;          // the native system directory's newdev.dll, or empty
    std::string wine_copy_path_;       // Wine's own file, kept while substitutes stand in
    std::string wine_native_copy_path_;
};

// How the substitute's InstallSelectedDriver behaves on the next calls.
struct substitute_behaviour {
    const char* action;        // newdev_protocol::*_action
    unsigned long reboot = 0;  // reboot word on success
    unsigned long returns = 1; // value returned on success
    unsigned long error = 0;   // last error on failure
};
void steer_substitute(const substitute_behaviour& behaviour);

// What the substitute reported about its last call.
struct substitute_report {
    unsigned long calls = 0;
    std::string devices;
    std::string device;
    std::string inf;
    std::string module;
    std::string arguments;
    std::string install;
    std::string bits;  // of the process that called it
    std::string folder;  // the current folder of the process that called it
};
substitute_report read_substitute_report();
// Clears everything but the call count.
void clear_substitute_report();

}  // namespace e2e
