// The ways the simulated relay can spoil a reply frame that libmodbus built for it. Each one
// leaves a frame a real line or a confused slave could deliver.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zklog::sim {

// CRC-16/MODBUS of `bytes`. libmodbus computes it for every frame it builds but does not export
// the function, and a frame altered after the fact needs its CRC made right again.
std::uint16_t frame_crc(std::span<const std::uint8_t> bytes);

// True when the last two bytes of `frame` (low byte first) are the CRC of the rest.
bool crc_matches(std::span<const std::uint8_t> frame);

// The same reply as if another slave had sent it: another address byte, a CRC that fits.
void from_other_slave(std::vector<std::uint8_t>& frame);

// A read reply (function 0x03) with one register more (`delta` 1, `next_word` appended) or one
// fewer (`delta` -1) than it carried, byte count and CRC made to fit. Other frames, and a
// reply that has no word left to drop, are left alone.
void change_word_count(std::vector<std::uint8_t>& frame, int delta, std::uint16_t next_word);

// The first part of the frame only, as when a slave stops sending halfway: about half of it,
// never the whole frame and never nothing.
void cut_short(std::vector<std::uint8_t>& frame);

// Line noise in front of the frame, as a transceiver turning the bus around may produce.
void put_noise_before(std::vector<std::uint8_t>& frame);

} // namespace zklog::sim
