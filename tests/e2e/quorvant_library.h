// QUORVANT.dll as a setup program sees it: loaded with LoadLibraryA, its
// export resolved by name with GetProcAddress.
#pragma once

#include "platform/unique_handle.h"

#include <string>

namespace e2e {

inline constexpr const char* export_name = "qv7_installdevice";
using installdevice_fn = int(__stdcall*)(const char* inf_path, const char* compact_id);

class quorvant_library {
public:
    // Loads the library from `path`; check loaded() and error().
    explicit quorvant_library(std::string path);
    // The same through the wide-character path (LoadLibraryW).
    explicit quorvant_library(std::wstring path);

    bool loaded() const { return entry_ != nullptr; }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    installdevice_fn entry() const { return entry_; }
    int install(const char* inf_path, const char* compact_id) const {
        return entry_(inf_path, compact_id);
    }
    int install(const std::string& inf_path, const std::string& compact_id) const {
        return install(inf_path.c_str(), compact_id.c_str());
    }

    // Frees the library; reload() loads it again from the same path.
    void unload();
    bool reload();

private:
    std::string path_;
    std::wstring wide_path_;
    platform::unique_hmodule module_;
    installdevice_fn entry_ = nullptr;
    std::string error_;
};

}  // namespace e2e
