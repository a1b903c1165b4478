// The host build's <windows.h>: the simulated platform, found through the
// include folder of the targets built against it.
#pragma once

#include "tests/sim/sim_platform.h"
