#include "sim/frame_faults.h"

#include <array>

namespace zklog::sim {

namespace {

constexpr std::size_t kCrcBytes = 2;
constexpr std::uint8_t kReadHoldingRegisters = 0x03;
constexpr std::size_t kReadHeaderBytes = 3; // address, function, byte count
constexpr std::uint8_t kHighestAddress = 247;
// Neither our address nor broadcast: libmodbus must not take the noise for a frame's start.
constexpr std::array<std::uint8_t, 3> kNoise{0xFF, 0x00, 0xFF};

void reseal(std::vector<std::uint8_t>& frame) {
    frame.resize(frame.size() - kCrcBytes);
    const std::uint16_t crc = frame_crc(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

} // namespace

std::uint16_t frame_crc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

bool crc_matches(std::span<const std::uint8_t> frame) {
    if (frame.size() < kCrcBytes) {
        return false;
    }
    const std::uint16_t crc = frame_crc(frame.first(frame.size() - kCrcBytes));
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

void from_other_slave(std::vector<std::uint8_t>& frame) {
    if (frame.size() <= kCrcBytes) {
        return;
    }
    frame[0] = static_cast<std::uint8_t>(frame[0] % kHighestAddress + 1);
    reseal(frame);
}

void change_word_count(std::vector<std::uint8_t>& frame, int delta, std::uint16_t next_word) {
    if (frame.size() < kReadHeaderBytes + kCrcBytes || frame[1] != kReadHoldingRegisters ||
        frame[2] + kReadHeaderBytes + kCrcBytes != frame.size()) {
        return;
    }
    const auto data_end = frame.end() - kCrcBytes;
    if (delta > 0) {
        const std::array<std::uint8_t, 2> word{static_cast<std::uint8_t>(next_word >> 8),
                                               static_cast<std::uint8_t>(next_word & 0xFF)};
        frame.insert(data_end, word.begin(), word.end());
        frame[2] = static_cast<std::uint8_t>(frame[2] + 2);
    } else if (delta < 0 && frame[2] >= 2) {
        frame.erase(data_end - 2, data_end);
        frame[2] = static_cast<std::uint8_t>(frame[2] - 2);
    } else {
        return;
    }
    reseal(frame);
}

void cut_short(std::vector<std::uint8_t>& frame) {
    if (frame.size() > 1) {
        frame.resize(frame.size() / 2);
    }
}

void put_noise_before(std::vector<std::uint8_t>& frame) {
    frame.insert(frame.begin(), kNoise.begin(), kNoise.end());
}

} // namespace zklog::sim
