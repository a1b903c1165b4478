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
//
// One body serves them all: the others are its aliases, so that a 64-bit
// file carries one function and one unwind record for them, not seven.
#include <cstdlib>

extern "C" [[noreturn]] void quorvant_stop_plainly() { std::abort(); }

// An alias is declared with the type of the function it names; the throw
// helpers take arguments that the stop ignores.
#pragma GCC diagnostic push
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wattribute-alias"
#endif
#define QV_STOPS(declaration) [[noreturn]] declaration __attribute__((alias("quorvant_stop_plainly")))

namespace std {

QV_STOPS(void __throw_bad_alloc());
QV_STOPS(void __throw_bad_array_new_length());
QV_STOPS(void __throw_length_error(const char*));
QV_STOPS(void __throw_logic_error(const char*));
QV_STOPS(void __throw_out_of_range(const char*));
QV_STOPS(void __throw_out_of_range_fmt(const char*, ...));

}  // namespace std

namespace __gnu_cxx {

QV_STOPS(void __verbose_terminate_handler());

}  // namespace __gnu_cxx

#undef QV_STOPS
#pragma GCC diagnostic pop
