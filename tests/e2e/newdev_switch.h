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

class newdev_switch {
public:
    // The two substitute DLLs, as Windows paths.
    newdev_switch(std::string substitute_path, std::string without_entry_path);

    // Puts the wanted NEWDEV in place; false (and `error`) when that fails.
    bool use(newdev_kind kind, std::string& error);

    // system directory + "\newdev.dll"
    const std::string& system_path() const { return system_path_; }

private:
    bool set_override(const char* value, std::string& error);
    bool place(const std::string& source, std::string& error);

    std::string substitute_path_;
    std::string without_entry_path_;
    std::string system_path_;
    std::string wine_copy_path_;  // Wine's own file, kept while substitutes stand in
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
};
substitute_report read_substitute_report();
// Clears everything but the call count.
void clear_substitute_report();

}  // namespace e2e
