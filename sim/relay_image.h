// The relay's register memory as the simulator serves it, and the layout of its event log.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace zklog::sim {

// A memory file that cannot be read or written, or has the wrong size.
class ImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class RelayImage {
public:
    static constexpr std::uint32_t kRegisters = 65536;
    static constexpr std::uintmax_t kFileBytes = std::uintmax_t{2} * kRegisters;
    static constexpr std::uint32_t kPointerRegister = 1024;
    static constexpr std::uint32_t kLogStart = 2000;
    // The last register a record may start at; such a record may run to 18144.
    static constexpr std::uint32_t kLastRecordStart = 18120;

    // All registers zero.
    RelayImage();

    // Reads a file of 131072 bytes: register n is the big-endian word at byte 2n.
    static RelayImage load(const std::filesystem::path& file);
    void save(const std::filesystem::path& file) const;

    // Registers past 65535 throw std::out_of_range.
    std::uint16_t word(std::uint32_t reg) const { return words_.at(reg); }
    void set_word(std::uint32_t reg, std::uint16_t value) { words_.at(reg) = value; }

    std::uint16_t pointer() const { return word(kPointerRegister); }
    void set_pointer(std::uint16_t value) { set_word(kPointerRegister, value); }

    const std::vector<std::uint16_t>& words() const { return words_; }

private:
    std::vector<std::uint16_t> words_;
};

struct RecordSpan {
    std::uint32_t start;
    std::uint32_t length;
    bool operator==(const RecordSpan&) const = default;
};

// Map flag bits in the low byte of a record's word 3.
inline constexpr std::uint8_t kMapZka = 1u << 0;
inline constexpr std::uint8_t kMapZkb = 1u << 1;
inline constexpr std::uint8_t kMapWpx = 1u << 2;

// Words in a record with these map flags, checksum included: 11, 19, 17 or 25.
std::uint32_t record_length(std::uint8_t map_flags);

// The record boundaries the downloader would follow: records from register 2000 on, one after
// another, while a record starts at or before `end_address` and ends inside the memory.
std::vector<RecordSpan> walk_records(const RelayImage& image, std::uint32_t end_address);

} // namespace zklog::sim
