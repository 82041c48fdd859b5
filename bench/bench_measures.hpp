// bench_measures: what the frame benchmarks measure with.
//
// Offers: thread_us (the calling thread's CPU time, so other work's waiting does not
// count), load_average (the 1-minute load, printed beside the times) and median.
// Depends on: the C library (clock_gettime, /proc/loadavg).
#pragma once

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace textdemo::bench {

inline double thread_us() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

inline double load_average() {
    double load = 0;
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1) load = 0;
        std::fclose(file);
    }
    return load;
}

template <typename T>
T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? T{} : values[values.size() / 2];
}

}  // namespace textdemo::bench
