// The QUORVANT.dll next to qvinst.exe.
#include "tools/qvinst/quorvant_dll.h"

#include <winver.h>

#include <cstdio>
#include <vector>

namespace qvinst {
namespace {

constexpr const wchar_t* library_file = L"QUORVANT.dll";
constexpr const char* export_name = "qv7_installdevice";
// The fixed part of a version resource, and its signature.
constexpr const wchar_t* fixed_version_block = L"\\";
constexpr DWORD fixed_version_signature = 0xFEEF04BD;

std::string with_error(const std::string& text, DWORD error) {
    return text + " (error " + std::to_string(error) + ")";
}

// `text` in code page `page`; empty when a character has no counterpart
// of its own there.
std::string in_code_page(std::wstring_view text, UINT page) {
    const DWORD flags = page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* const lossy_out = page == CP_UTF8 ? nullptr : &lossy;
    const int units = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(page, flags, text.data(), units, nullptr, 0, nullptr, lossy_out);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size <= 0 || WideCharToMultiByte(page, flags, text.data(), units, out.data(), size,
                                         nullptr, lossy_out) != size || lossy) {
        return {};
    }
    return out;
}

std::string own_path_unreadable() {
    return with_error("cannot read the path of qvinst.exe", GetLastError());
}

}  // namespace

void find_quorvant_dll(dll_path& path) {
    if (!platform::path_beside_own_module(path, library_file)) {
        path.set_size(0);
    }
}

std::string path_text(std::wstring_view path) {
    const std::string ansi = in_code_page(path, CP_ACP);
    return ansi.empty() ? in_code_page(path, CP_UTF8) : ansi;
}

bool quorvant_dll::load(const dll_path& path, std::string& error) {
    if (path.view().empty()) {
        error = own_path_unreadable();
        return false;
    }
    module_.reset(LoadLibraryW(path.data()));
    if (!module_) {
        error = with_error("cannot load " + path_text(path.view()), GetLastError());
        return false;
    }
    const FARPROC entry = GetProcAddress(module_.get(), export_name);
    if (!entry) {
        error = with_error(path_text(path.view()) + " has no export " + export_name,
                           GetLastError());
        module_.reset();
        return false;
    }
    // FARPROC is a generic function pointer; void(*)() converts to any other.
    install_device_ = reinterpret_cast<install_device_fn>(reinterpret_cast<void (*)()>(entry));
    return true;
}

int quorvant_dll::install_device(const std::string& inf_path, const std::string& compact_id) const {
    return install_device_(inf_path.c_str(), compact_id.c_str());
}

bool read_file_version(const dll_path& path, std::string& version, std::string& error) {
    if (path.view().empty()) {
        error = own_path_unreadable();
        return false;
    }
    const std::string named = path_text(path.view());
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.data(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.data(), 0, size, block.data())) {
        error = with_error("cannot read the version resource of " + named, GetLastError());
        return false;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), fixed_version_block, &value, &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        error = named + " has no fixed file version";
        return false;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (fixed->dwSignature != fixed_version_signature) {
        error = named + " has a malformed version resource";
        return false;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                  LOWORD(fixed->dwFileVersionLS));
    version = text;
    return true;
}

}  // namespace qvinst
