// Windows (the viewer's harness under Wine): the process's age from its creation time as the
// system recorded it, and its working set. A parent's stamp cannot be compared with this
// process's clock, so the figures are taken from the creation time.
#include "bench/process_facts.h"

#include <windows.h>
#include <psapi.h>

namespace zklog::bench {

namespace {

// 100 ns units since 1601, as Windows keeps its times.
std::int64_t ticks(const FILETIME& time) {
    return (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

std::int64_t monotonic_ns() {
    LARGE_INTEGER count{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<std::int64_t>(static_cast<double>(count.QuadPart) * 1e9 /
                                     static_cast<double>(frequency.QuadPart));
}

double age_ms() {
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return -1;
    }
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    return static_cast<double>(ticks(now) - ticks(created)) / 1e4;
}

Memory own_memory() {
    Memory memory;
    PROCESS_MEMORY_COUNTERS counters{};
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        memory.rss_kb = static_cast<long>(counters.WorkingSetSize / 1024);
        memory.hwm_kb = static_cast<long>(counters.PeakWorkingSetSize / 1024);
    }
    return memory;
}

} // namespace zklog::bench
