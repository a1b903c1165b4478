// Keeps the C++ runtime that QUORVANT.dll links statically small, and free
// of C++ exceptions.
//
// The library is built without exceptions: it allocates only through the
// platform's heap, which reports failure as a null block. The standard
// library's headers still name their throw helpers (std::string_view's
// range checks, for one); the library never passes them a bad range, and
// should it ever, these definitions stop the process plainly instead of
// linking the exception runtime, whose lock and emergency pool a DLL would
// leak at every unload.
#include <cstdlib>

namespace std {

[[noreturn]] void __throw_bad_alloc() { std::abort(); }
[[noreturn]] void __throw_bad_array_new_length() { std::abort(); }
[[noreturn]] void __throw_length_error(const char*) { std::abort(); }
[[noreturn]] void __throw_logic_error(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }

}  // namespace std

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
