// The operating system's declarations behind the platform seam. The host
// build finds a simulation under these names, in an include folder of its
// own.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <setupapi.h>
