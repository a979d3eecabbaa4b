#include "device/word_ops.h"

namespace zklog::device {

namespace {

std::uint32_t crc_step(std::uint32_t crc, std::uint32_t byte) {
    crc ^= byte & 0xFFu;
    for (int i = 0; i < 8; ++i) {
        crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    }
    return crc;
}

} // namespace

std::uint32_t crc_calc(std::uint32_t running, std::uint32_t word) {
    std::uint32_t crc = running & 0xFFFFu;
    crc = crc_step(crc, high(word));
    return crc_step(crc, low(word));
}

} // namespace zklog::device
