// The log memory read in big blocks (--fast): Modbus allows up to 125 registers in one 0x03
// read, against the 10, 8, 7 or 1 of the record-by-record reads, so the frame overhead and the
// relay's turnaround are paid about twelve times less often. The records are still walked one
// block of words at a time by the download; this source answers them from the block in hand
// and reads the next block when a record runs past its end.
#pragma once

#include "download/record_word_source.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zklog::download {

struct BlockReadSettings {
    // The largest block asked for: the Modbus limit of one 0x03 read.
    std::uint32_t max_block = device::DeviceLink::kMaxWords;
};

class BlockReads final : public RecordWordSource {
public:
    explicit BlockReads(device::DeviceLink& link, BlockReadSettings settings = {})
        : link_(link), settings_(settings) {}

    void start_run() override;
    std::optional<std::span<const std::uint16_t>> words(std::uint32_t address, std::uint32_t first,
                                                        std::uint32_t count,
                                                        std::uint32_t last_register) override;

    // The block size in use (0 once only exact reads are left); for tests and the benchmark.
    std::uint32_t block_size() const { return block_size_; }

private:
    bool in_hand(std::uint32_t first, std::uint32_t count) const;
    bool read_block(std::uint32_t address, std::uint32_t first, std::uint32_t count,
                    std::uint32_t last_register);
    bool may_halve_after_failure() const;

    device::DeviceLink& link_;
    BlockReadSettings settings_;
    std::uint32_t block_size_ = 0;
    bool size_confirmed_ = false; // a big read has been answered in this run
    std::uint32_t block_first_ = 0;
    std::vector<std::uint16_t> block_;
};

} // namespace zklog::download
