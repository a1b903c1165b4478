// Keeps the C++ runtime that QUORVANT.dll links statically small.
//
// The library's only C++ exceptions come from the standard library's
// allocations, and every one of them is caught at the export and reported
// as QV7_E_OUT_OF_MEMORY. The standard library's throw helpers and its
// verbose terminate handler would pull in the exception-class hierarchy,
// a second string implementation and a symbol demangler; these definitions
// take their place and throw, or stop, just as plainly.
#include <cstdlib>
#include <new>

namespace std {

[[noreturn]] void __throw_bad_alloc() { throw std::bad_alloc(); }
[[noreturn]] void __throw_bad_array_new_length() { throw std::bad_alloc(); }
// Raised by std::string for sizes beyond max_size(): as good as out of memory.
[[noreturn]] void __throw_length_error(const char*) { throw std::bad_alloc(); }
[[noreturn]] void __throw_logic_error(const char*) { throw std::bad_alloc(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { throw std::bad_alloc(); }

}  // namespace std

namespace __gnu_cxx {

// An exception escaping a noexcept boundary ends the process, without
// printing a demangled type name first.
[[noreturn]] void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
