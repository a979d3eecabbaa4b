// A memory image in which every register holds a different word, so a read that returns the
// words of some other address or count cannot pass for the right one.
#pragma once

#include "sim/relay_image.h"

namespace zklog::test {

inline std::uint16_t pattern_word(std::uint32_t reg) {
    return static_cast<std::uint16_t>(reg * 40503u + 0x1234u);
}

inline zklog::sim::RelayImage pattern_image() {
    zklog::sim::RelayImage image;
    for (std::uint32_t r = 0; r < zklog::sim::RelayImage::kRegisters; ++r) {
        image.set_word(r, pattern_word(r));
    }
    return image;
}

} // namespace zklog::test
