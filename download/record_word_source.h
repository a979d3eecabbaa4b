// Where a download takes the words of its records from. The download itself (pointer read,
// emptying, messages, progress) is the same whichever source it reads the log memory through.
#pragma once

#include "device/device_link.h"

#include <cstdint>
#include <optional>
#include <span>

namespace zklog::download {

class RecordWordSource {
public:
    virtual ~RecordWordSource() = default;

    // Called once before the records of a run are read: nothing read earlier is reused.
    virtual void start_run() {}
    // Words [first, first + count) of the log memory of the relay at `address`. `last_register`
    // is the highest register the run may need (the bound plus the longest record); a source
    // reads no further. Empty when the read failed; the span lives until the next call.
    virtual std::optional<std::span<const std::uint16_t>> words(std::uint32_t address,
                                                                std::uint32_t first,
                                                                std::uint32_t count,
                                                                std::uint32_t last_register) = 0;
};

// The standard reads: each block of a record read on its own, exactly as long as it is. A
// block whose request or reply the line lost is asked again within the read (see
// DeviceLink::OnSilence): only a read that fails every try ends the download.
class RecordByRecordReads final : public RecordWordSource {
public:
    explicit RecordByRecordReads(device::DeviceLink& link) : link_(link) {}

    std::optional<std::span<const std::uint16_t>> words(std::uint32_t address, std::uint32_t first,
                                                        std::uint32_t count,
                                                        std::uint32_t /*last_register*/) override {
        if (link_.modbus_rd(address, first, count, device::DeviceLink::OnSilence::AskAgain) !=
            device::DeviceLink::kReadOk) {
            return std::nullopt;
        }
        return link_.words();
    }

private:
    device::DeviceLink& link_;
};

} // namespace zklog::download
