// Wall-clock timing of one run of a step, and the median of a series.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace wine_bench {

// Microseconds that `step()` takes.
template <typename Step>
double time_us(Step&& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration<double, std::micro>(elapsed).count();
}

// The median of `values` (the mean of the middle two for an even count);
// 0 for none.
inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace wine_bench
