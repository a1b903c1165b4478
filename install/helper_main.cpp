// QUORVANT64.exe: the 64-bit helper that the 32-bit library starts on 64-bit
// Windows, where a 32-bit process may not install device drivers.
//
//   QUORVANT64.exe INF_PATH COMPACT_ID
//
// Runs the library's own entry point with the two arguments and exits with
// its result code. Any other number of arguments exits with
// ERROR_BAD_ARGUMENTS, which is no result code of the library.
#include "include/quorvant.h"

namespace {
constexpr int error_bad_arguments = 160;
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return error_bad_arguments;
    }
    return qv7_installdevice(argv[1], argv[2]);
}
