// The host build's <setupapi.h>: the simulated platform declares the Setup
// API beside the kernel (windows.h).
#pragma once

#include "tests/sim/sim_platform.h"
