// Cutting views without the checks of std::string_view::substr, which
// throws on a position beyond the end: these clamp instead.
#pragma once

#include <cstddef>
#include <string_view>

namespace idconv {

// The first `n` characters of `text`, or all of it when it is shorter.
constexpr std::string_view first_chars(std::string_view text, std::size_t n) noexcept {
    return {text.data(), n < text.size() ? n : text.size()};
}

// `text` from the 0-based `pos` on; empty when `pos` is at or beyond the end.
constexpr std::string_view chars_from(std::string_view text, std::size_t pos) noexcept {
    return pos < text.size() ? std::string_view(text.data() + pos, text.size() - pos)
                             : std::string_view();
}

}  // namespace idconv
