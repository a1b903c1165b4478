// DLL entry point: loading, unloading and threads cause no work of the
// library's own. The two state texts start empty and are released by the
// runtime when the library is unloaded.
#include "platform/platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
