#include "tests/e2e/quorvant_library.h"

#include <utility>

namespace e2e {

quorvant_library::quorvant_library(std::string path) : path_(std::move(path)) { reload(); }

quorvant_library::quorvant_library(std::wstring path)
    : path_("the wide path"), wide_path_(std::move(path)) {
    reload();
}

void quorvant_library::unload() {
    entry_ = nullptr;
    module_.reset();
}

bool quorvant_library::reload() {
    unload();
    module_.reset(wide_path_.empty() ? LoadLibraryA(path_.c_str()) : LoadLibraryW(wide_path_.c_str()));
    if (!module_.valid()) {
        error_ = "LoadLibrary(" + path_ + ") failed, error " + std::to_string(GetLastError());
        return false;
    }
    // GetProcAddress hands back a generic function pointer; the export's
    // real type is the one quorvant.h declares for qv7_installdevice.
    FARPROC proc = GetProcAddress(module_.get(), export_name);
    if (proc == nullptr) {
        error_ = std::string("GetProcAddress(") + export_name + ") failed";
        module_.reset();
        return false;
    }
    entry_ = reinterpret_cast<installdevice_fn>(reinterpret_cast<void*>(proc));
    error_.clear();
    return true;
}

}  // namespace e2e
