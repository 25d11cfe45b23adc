#pragma once
// What the benchmarks share: the host CPU time and the virtual time of one run.
#include <time.h>

#include <cstdint>

#include "base/clock.h"

namespace orbisk::bench {

inline double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Runs `work` once: its result, the virtual time it took on `clock` and the host CPU time.
template <typename Work>
auto TimedRun(Clock& clock, Work&& work, double* virtual_s, double* cpu_s) {
    const uint64_t start_us = clock.now_us();
    const double cpu_start = CpuSeconds();
    auto result = work();
    *cpu_s = CpuSeconds() - cpu_start;
    *virtual_s = static_cast<double>(clock.now_us() - start_us) / 1e6;
    return result;
}

}  // namespace orbisk::bench
