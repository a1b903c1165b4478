// A compact ID as a value: the text in a buffer of its own, as long as the
// longest compact ID plus a terminating zero, so that building one needs no
// heap. Reads as a std::string_view.
#pragma once

#include "idconv/compact_id_format.h"

#include <cstddef>
#include <string_view>

namespace idconv {

class compact_id {
public:
    static constexpr std::size_t capacity = format::max_length_pci;

    // The empty compact ID.
    compact_id() noexcept { text_[0] = '\0'; }

    std::string_view view() const noexcept { return {text_, size_}; }
    operator std::string_view() const noexcept { return view(); }

    bool empty() const noexcept { return size_ == 0; }
    std::size_t size() const noexcept { return size_; }
    // The text followed by a zero byte. A compact ID may hold zero bytes of
    // its own, taken from the hardware ID; size() counts them.
    const char* c_str() const noexcept { return text_; }

    friend bool operator==(const compact_id& a, const compact_id& b) noexcept {
        return a.view() == b.view();
    }
    friend bool operator==(const compact_id& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(std::string_view a, const compact_id& b) noexcept { return a == b.view(); }
    friend bool operator!=(const compact_id& a, const compact_id& b) noexcept { return !(a == b); }
    friend bool operator!=(const compact_id& a, std::string_view b) noexcept { return !(a == b); }
    friend bool operator!=(std::string_view a, const compact_id& b) noexcept { return !(a == b); }

private:
    friend compact_id build_compact_id(std::string_view hardware_id) noexcept;

    char text_[capacity + 1];
    std::size_t size_ = 0;
};

}  // namespace idconv
