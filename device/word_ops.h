// Byte, bit and checksum helpers on relay register words.
#pragma once

#include <cstdint>

namespace zklog::device {

// Bits 15 to 8 of a register word.
constexpr std::uint32_t high(std::uint32_t word) {
    return (word >> 8) & 0xFFu;
}

// Bits 7 to 0 of a register word.
constexpr std::uint32_t low(std::uint32_t word) {
    return word & 0xFFu;
}

// 1 when the given bit of the value's low 16 bits is set, else 0.
constexpr std::uint32_t bit_test(std::uint32_t value, std::uint32_t bit) {
    return bit < 16 ? ((value & 0xFFFFu) >> bit) & 1u : 0u;
}

// One step of CRC-16/MODBUS (reflected polynomial 0xA001) over a whole word: the running
// value is advanced by the word's high byte, then by its low byte. A record's checksum starts
// at 0xFFFF; the result is always 0 to 65535.
std::uint32_t crc_calc(std::uint32_t running, std::uint32_t word);

} // namespace zklog::device
