// Turns callgrind's event collection on and off around the code to count
// (run under valgrind --tool=callgrind --collect-atstart=no). Outside
// valgrind both do nothing.
#pragma once

namespace bench {

void start_collecting();
void stop_collecting();

}  // namespace bench
