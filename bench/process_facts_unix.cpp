#include "bench/process_facts.h"

#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace zklog::bench {

namespace {

std::int64_t clock_ns(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

} // namespace

std::int64_t monotonic_ns() {
    return clock_ns(CLOCK_MONOTONIC);
}

double age_ms() {
    std::ifstream in("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold blanks and parentheses; the fields after its last ')' do not.
    const auto close = stat.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(stat.substr(close + 2));
    // starttime is field 22 of the line, the 20th after the name.
    std::string field;
    int read = 0;
    while (read < 20 && fields >> field) {
        ++read;
    }
    if (read < 20) {
        return -1;
    }
    const double ticks = std::stod(field);
    const double now_ms = static_cast<double>(clock_ns(CLOCK_BOOTTIME)) / 1e6;
    return now_ms - ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

Memory own_memory() {
    Memory memory;
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("VmRSS:")) {
            memory.rss_kb = std::stol(line.substr(6));
        } else if (line.starts_with("VmHWM:")) {
            memory.hwm_kb = std::stol(line.substr(6));
        }
    }
    return memory;
}

} // namespace zklog::bench
