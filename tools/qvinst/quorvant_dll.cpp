// The QUORVANT.dll next to qvinst.exe.
#include "tools/qvinst/quorvant_dll.h"

#include <winver.h>

#include <cstdio>
#include <vector>

namespace qvinst {
namespace {

constexpr const char* library_file = "QUORVANT.dll";
constexpr const char* export_name = "qv7_installdevice";
// Longest path GetModuleFileNameA is asked for.
constexpr DWORD longest_path = 32768;
// The fixed part of a version resource, and its signature.
constexpr const char* fixed_version_block = "\\";
constexpr DWORD fixed_version_signature = 0xFEEF04BD;

std::string with_error(const std::string& text, DWORD error) {
    return text + " (error " + std::to_string(error) + ")";
}

std::string own_path() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size() || buffer.size() >= longest_path) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string quorvant_dll_path() {
    const std::string self = own_path();
    const std::size_t slash = self.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string() : self.substr(0, slash + 1);
    return folder + library_file;
}

bool quorvant_dll::load(const std::string& path, std::string& error) {
    module_.reset(LoadLibraryA(path.c_str()));
    if (!module_) {
        error = with_error("cannot load " + path, GetLastError());
        return false;
    }
    const FARPROC entry = GetProcAddress(module_.get(), export_name);
    if (!entry) {
        error = with_error(path + " has no export " + export_name, GetLastError());
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

bool read_file_version(const std::string& path, std::string& version, std::string& error) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) {
        error = with_error("cannot read the version resource of " + path, GetLastError());
        return false;
    }
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) {
        error = with_error("cannot read the version resource of " + path, GetLastError());
        return false;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), fixed_version_block, &value, &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        error = path + " has no fixed file version";
        return false;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (fixed->dwSignature != fixed_version_signature) {
        error = path + " has a malformed version resource";
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
