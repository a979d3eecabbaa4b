// Text lengths as the table's maxima count them: in characters of UTF-8 text, not in bytes.
// Header-only, so that the fuzz targets can use it without the GoogleTest support library.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace zklog::test {

// The number of code points in `text`, or no value when it is not well-formed UTF-8 (a stray
// continuation byte, a cut sequence, an overlong two-byte form or a lead byte past U+10FFFF).
// The finer rules on three- and four-byte forms are left out: the decoders only ever write
// ASCII and Latin-1 letters.
inline std::optional<std::size_t> utf8_characters(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t continuation = 0;
        if (lead < 0x80) {
            continuation = 0;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            continuation = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuation = 2;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            continuation = 3;
        } else {
            return std::nullopt;
        }
        if (text.size() - i - 1 < continuation) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k <= continuation; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return std::nullopt;
            }
        }
        i += continuation + 1;
    }
    return characters;
}

} // namespace zklog::test
