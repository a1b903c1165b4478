// The operating system's declarations behind the platform seam: the real
// Windows and Setup API headers on Windows builds, the simulated platform
// on the host.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <setupapi.h>
#else
#include "platform/sim/sim_platform.h"
#endif
