// QUORVANT: the library's exported entry point.
#include "include/quorvant.h"
#include "install/ID_MAIN2.h"

#include <new>
#include <string>

extern "C" int QV7_CALL qv7_installdevice(const char* inf_path, const char* compact_id) {
    // No C++ exception may cross the export: the caller is C, Pascal or NSIS.
    try {
        const std::string wanted = compact_id ? compact_id : "";
        const std::string inf = inf_path ? inf_path : "";
        return ID_MAIN2::install_driver_for_device(nullptr, wanted, inf);
    } catch (const std::bad_alloc&) {
        return QV7_E_OUT_OF_MEMORY;
    } catch (...) {
        // Nothing else throws; should it ever, report it as a failure, not a crash.
        return QV7_E_OUT_OF_MEMORY;
    }
}
