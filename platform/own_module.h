// Wide texts read from the platform, and the files beside the module this
// code is linked into (the library, the helper, qvinst). Windows only.
#pragma once

#include "platform/unique_handle.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace platform {

// A wide text on the process heap, grown on demand; empty when a growth
// found no memory.
class wide_text {
public:
    wide_text() = default;
    wide_text(const wide_text&) = delete;
    wide_text& operator=(const wide_text&) = delete;

    // Room for `units` code units and a zero; false when there is no memory.
    bool reserve(std::size_t units) {
        if (units < capacity_) return true;
        block_.reset(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (units + 1) * sizeof(wchar_t)));
        capacity_ = block_ ? units + 1 : 0;
        size_ = 0;
        return block_.valid();
    }
    wchar_t* data() const { return static_cast<wchar_t*>(block_.get()); }
    DWORD capacity() const { return static_cast<DWORD>(capacity_); }
    void set_size(std::size_t units) { size_ = units; }
    std::wstring_view view() const { return {data(), size_}; }

private:
    unique_heap_block block_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

// Fills `text` through a platform call that reports the length it wrote
// (less than the capacity it was given) or the capacity it needs; false
// when the call fails or the text outgrows the longest path.
template <typename Read>
bool read_growing(wide_text& text, Read read) {
    for (std::size_t units = max_path;; units *= 2) {
        if (units > 2 * longest_path || !text.reserve(units)) return false;
        const DWORD length = read(text.data(), text.capacity());
        if (length == 0) return false;
        if (length < text.capacity()) {
            text.set_size(length);
            return true;
        }
        units = std::max<std::size_t>(units, length);
    }
}

// The full path of `name` (a file name, or a path below the folder) in the
// folder of the module this code is linked into, from the module's wide
// name, whole: a path of MAX_PATH characters or more in its "\\?\" form,
// which the platform takes at any length. False when the module's name
// cannot be read or there is no memory; whether the file exists is the
// caller's to find out.
bool path_beside_own_module(wide_text& path, std::wstring_view name);

// `text`'s bytes read in the ANSI code page, as the platform's ANSI calls
// read them. False for an empty text, or without memory.
bool widen_ansi(wide_text& wide, const char* text);

// The length in bytes of `text` in code page `page` (CP_ACP or CP_UTF8),
// exactly: no best-fit or default character. Written into `out` when it is
// not null and `room` holds it; -1 when a character has no exact form there
// or `out` is too small. Inline, so that only what calls it carries it.
inline int narrow_exact(std::wstring_view text, UINT page, char* out, int room) {
    if (text.empty()) return 0;
    // UTF-8 takes no best-fit flag and has no default character.
    const bool utf8 = page == CP_UTF8 || (page == CP_ACP && GetACP() == CP_UTF8);
    BOOL defaulted = FALSE;
    const int length = WideCharToMultiByte(page, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS,
                                           text.data(), static_cast<int>(text.size()), out,
                                           out ? room : 0, nullptr, utf8 ? nullptr : &defaulted);
    return length > 0 && !defaulted ? length : -1;
}

// The same for `name` in `folder`, a full path given by the caller that
// ends in a backslash: false when it is empty or there is no memory.
// Inline: path_beside_own_module is made of it.
[[gnu::always_inline]] inline bool path_in_folder(wide_text& path, std::wstring_view folder, std::wstring_view name) {
    const bool plain = folder.size() + name.size() < max_path || folder.substr(0, 4) == L"\\\\?\\";
    const bool unc = !plain && folder.substr(0, 2) == L"\\\\";
    const std::wstring_view prefix = plain ? L"" : unc ? L"\\\\?\\UNC" : L"\\\\?\\";
    const std::wstring_view kept = unc ? folder.substr(1) : folder;
    if (folder.empty() || !path.reserve(prefix.size() + kept.size() + name.size())) {
        return false;
    }
    wchar_t* out = path.data();
    out = std::copy(prefix.begin(), prefix.end(), out);
    out = std::copy(kept.begin(), kept.end(), out);
    out = std::copy(name.begin(), name.end(), out);
    *out = L'\0';
    path.set_size(static_cast<std::size_t>(out - path.data()));
    return true;
}

}  // namespace platform
