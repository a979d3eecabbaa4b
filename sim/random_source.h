// Seeded random values that come out the same with every standard library: the std
// distributions are implementation-defined, the raw mt19937 sequence is not.
#pragma once

#include <cstdint>
#include <random>

namespace zklog::sim {

class RandomSource {
public:
    explicit RandomSource(std::uint32_t seed) : engine_(seed) {}

    // Uniform in [lo, hi]; rejection keeps it free of modulo bias.
    std::int64_t between(std::int64_t lo, std::int64_t hi) {
        const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
        const std::uint64_t range = std::uint64_t{1} << 32;
        const std::uint64_t limit = range - range % span;
        std::uint64_t draw = 0;
        do {
            draw = engine_();
        } while (draw >= limit);
        return lo + static_cast<std::int64_t>(draw % span);
    }

    // True with probability num/den.
    bool chance(int num, int den) { return between(0, den - 1) < num; }

private:
    std::mt19937 engine_;
};

} // namespace zklog::sim
