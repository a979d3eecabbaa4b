// What this process can learn about itself from the kernel: its age and its memory.
#pragma once

#include <cstdint>

namespace zklog::bench {

// CLOCK_MONOTONIC in nanoseconds, the clock a parent can stamp before starting us.
std::int64_t monotonic_ns();

// Milliseconds since the kernel started this process (its fork), in the kernel's 10 ms ticks;
// negative when /proc cannot tell.
double age_ms();

struct Memory {
    long rss_kb = -1; // VmRSS: resident now
    long hwm_kb = -1; // VmHWM: the most ever resident
};

Memory own_memory();

} // namespace zklog::bench
