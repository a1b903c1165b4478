// The QUORVANT.dll next to qvinst.exe: loaded by its path, its export
// resolved by name, and its version resource read.
#pragma once

#include "platform/own_module.h"
#include "platform/unique_handle.h"

#include <string>

namespace qvinst {

// The full path of QUORVANT.dll in the folder qvinst.exe was started from,
// by the folder's wide name; empty when qvinst cannot read its own path.
using dll_path = platform::wide_text;
void find_quorvant_dll(dll_path& path);

// `path` as qvinst prints it: in the ANSI code page, as all its output,
// when the code page holds every character of it; otherwise in UTF-8,
// which holds them all, rather than a near name that may be another file's.
std::string path_text(std::wstring_view path);

class quorvant_dll {
public:
    // Loads the library at `path` and resolves qv7_installdevice; false,
    // with the reason in `error`, when either fails.
    bool load(const dll_path& path, std::string& error);

    // Calls qv7_installdevice. Only after a successful load().
    int install_device(const std::string& inf_path, const std::string& compact_id) const;

private:
    using install_device_fn = int(WINAPI*)(const char* inf_path, const char* compact_id);

    platform::unique_hmodule module_;
    install_device_fn install_device_ = nullptr;
};

// "a.b.c.d" from the fixed part of the version resource of the file at
// `path`; false, with the reason in `error`, when it has none.
bool read_file_version(const dll_path& path, std::string& version, std::string& error);

}  // namespace qvinst
