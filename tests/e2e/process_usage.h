// The two figures the long-run case watches: open handles and committed
// private memory of this process. Wine reports no handle count
// (GetProcessHandleCount gives 0), so handles are counted by probing every
// handle value in a range that covers what the process uses.
#pragma once

#include <cstddef>

namespace e2e {

struct process_usage {
    unsigned long handles = 0;
    unsigned long highest_handle = 0;   // largest open handle value found
    std::size_t private_bytes = 0;      // MEM_COMMIT regions of type MEM_PRIVATE
};

process_usage measure_process_usage();

}  // namespace e2e
