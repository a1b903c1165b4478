// QUORVANT: the library's exported entry point.
#include "include/quorvant.h"
#include "install/ID_MAIN2.h"
#include "install/result_codes.h"  // checks the table of result codes at compile time
#include "install/wow64_helper.h"
#include "platform/unique_handle.h"

namespace {

// Serialises the calls of all threads: the library's state between calls
// (the wanted compact ID and the found instance ID) is shared. An SRW lock
// is ready as a constant, so loading the library does no work for it.
SRWLOCK call_lock = SRWLOCK_INIT;

}  // namespace

namespace {

// A call's result code and the platform's error that decided it.
struct call_end {
    int result;
    DWORD error;
};

call_end install_serialised(const char* inf_path, const char* compact_id) {
    const platform::exclusive_lock serialised(call_lock);
    const char* const inf = inf_path ? inf_path : "";
    const char* const wanted = compact_id ? compact_id : "";
    // An empty INF path gives -4 before anything is started. Through the
    // helper the caller's last error is the one the helper's call left.
    if (*inf != '\0') {
        const wow64::bridged through_helper = wow64::run_in_64bit_helper(inf, wanted);
        if (through_helper.result != wow64::not_delegated) {
            return {through_helper.result, through_helper.error};
        }
    }
    const int result = ID_MAIN2::install_driver_for_device(nullptr, wanted, inf);
    // Read while the lock is held: the last error is the routine's.
    return {result, GetLastError()};
}

}  // namespace

// The caller finds the platform's error of the step that decided the result
// as its last error, whatever releasing the lock did to it.
extern "C" int QV7_CALL qv7_installdevice(const char* inf_path, const char* compact_id) {
    const call_end end = install_serialised(inf_path, compact_id);
    SetLastError(end.error);
    return end.result;
}
