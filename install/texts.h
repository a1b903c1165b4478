// The two kinds of text the library holds. Neither throws: the library is
// built without C++ exceptions, and running out of memory is a result code.
#pragma once

#include "platform/platform.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace ID_MAIN2 {

// A text of at most Capacity bytes, held in place: what a platform read
// into a buffer of Capacity bytes left there, up to its first zero byte.
// A zero byte always follows the text, so c_str() is safe.
template <std::size_t Capacity>
class bounded_text {
public:
    static constexpr std::size_t capacity = Capacity;

    // The buffer a read fills, all zero, and its size as the read is told it.
    char* prepare_read() noexcept {
        bytes_.fill('\0');
        size_ = 0;
        return bytes_.data();
    }
    static constexpr DWORD buffer_size = static_cast<DWORD>(Capacity);

    // Takes what the read left in the buffer when it reported success, and
    // the empty text when it reported failure, whatever it wrote.
    void take_read(bool succeeded) noexcept {
        bytes_[Capacity] = '\0';
        size_ = succeeded ? std::strlen(bytes_.data()) : 0;
        bytes_[size_] = '\0';
    }

    void clear() noexcept {
        size_ = 0;
        bytes_[0] = '\0';
    }

    std::string_view view() const noexcept { return {bytes_.data(), size_}; }
    operator std::string_view() const noexcept { return view(); }
    const char* c_str() const noexcept { return bytes_.data(); }
    bool empty() const noexcept { return size_ == 0; }
    std::size_t size() const noexcept { return size_; }

    friend bool operator==(const bounded_text& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(std::string_view a, const bounded_text& b) noexcept { return a == b.view(); }

private:
    std::array<char, Capacity + 1> bytes_{};
    std::size_t size_ = 0;
};

// A text of any length kept between calls, on the process heap.
class kept_text {
public:
    constexpr kept_text() noexcept = default;
    kept_text(const kept_text&) = delete;
    kept_text& operator=(const kept_text&) = delete;
    ~kept_text() { clear(); }

    // Replaces the text; false, with the text emptied, when there is no
    // memory for it.
    bool assign(std::string_view text) noexcept {
        clear();
        if (text.empty()) {
            return true;
        }
        void* block = HeapAlloc(GetProcessHeap(), 0, text.size() + 1);
        if (!block) {
            return false;
        }
        data_ = static_cast<char*>(block);
        std::memcpy(data_, text.data(), text.size());
        data_[text.size()] = '\0';
        size_ = text.size();
        return true;
    }

    // Empties the text and releases its memory.
    void clear() noexcept {
        if (data_) {
            HeapFree(GetProcessHeap(), 0, data_);
        }
        data_ = nullptr;
        size_ = 0;
    }

    std::string_view view() const noexcept { return data_ ? std::string_view(data_, size_) : std::string_view(); }
    operator std::string_view() const noexcept { return view(); }
    bool empty() const noexcept { return size_ == 0; }
    std::size_t size() const noexcept { return size_; }

    friend bool operator==(const kept_text& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(std::string_view a, const kept_text& b) noexcept { return a == b.view(); }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace ID_MAIN2
