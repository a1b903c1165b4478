#include "callgrind_collect.h"

// The client-request macros expand to C casts.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#include <valgrind/callgrind.h>

namespace bench {

void start_collecting() { CALLGRIND_TOGGLE_COLLECT; }
void stop_collecting() { CALLGRIND_TOGGLE_COLLECT; }

}  // namespace bench

#pragma GCC diagnostic pop
