#include "download/block_reads.h"

#include <algorithm>
#include <cerrno>
#include <modbus/modbus.h>

namespace zklog::download {

namespace {

// The highest register a 0x03 read can address.
constexpr std::uint32_t kLastAddressable = 65535;

} // namespace

void BlockReads::start_run() {
    block_size_ = settings_.max_block;
    size_confirmed_ = false;
    block_.clear();
}

bool BlockReads::in_hand(std::uint32_t first, std::uint32_t count) const {
    return first >= block_first_ && first + count <= block_first_ + block_.size();
}

std::optional<std::span<const std::uint16_t>> BlockReads::words(std::uint32_t address,
                                                                std::uint32_t first,
                                                                std::uint32_t count,
                                                                std::uint32_t last_register) {
    if (!in_hand(first, count) && !read_block(address, first, count, last_register)) {
        return std::nullopt;
    }
    return std::span<const std::uint16_t>(block_).subspan(first - block_first_, count);
}

// A relay that refuses a read too big for it answers with exception 02 (illegal data address)
// or 03 (illegal data value), or with as many registers as it can give in a valid frame (a
// reply that does not fit the request); some stay silent instead. Silence counts only until a
// big read has been answered: after that it is a relay gone quiet, and halving would only draw
// out its error.
bool BlockReads::may_halve_after_failure() const {
    const int error = link_.last_error();
    if (error == EMBXILADD || error == EMBXILVAL || error == EMBBADDATA) {
        return true;
    }
    return error == ETIMEDOUT && !size_confirmed_;
}

// Reads from `first` a block of the size in use, never shorter than the `count` words the
// record needs (the record-by-record read, once halving has gone below it), never past
// `last_register` nor past the last addressable register. Silence is asked again within the
// read once it can only be a lost frame: after a big read has been answered, or for a block no
// bigger than the record needs. Before that it may be a relay refusing the size, and the
// smaller block that follows is the next try.
bool BlockReads::read_block(std::uint32_t address, std::uint32_t first, std::uint32_t count,
                            std::uint32_t last_register) {
    using device::DeviceLink;
    block_.clear();
    for (;;) {
        const std::uint32_t limit = std::min(last_register, kLastAddressable);
        const std::uint32_t room = limit >= first ? limit - first + 1 : 0;
        const std::uint32_t size = std::max(count, std::min(block_size_, room));
        const auto on_silence = size_confirmed_ || size <= count ? DeviceLink::OnSilence::AskAgain
                                                                 : DeviceLink::OnSilence::GiveUp;
        if (link_.modbus_rd(address, first, size, on_silence) == DeviceLink::kReadOk) {
            if (size > count) {
                size_confirmed_ = true;
            }
            const auto words = link_.words();
            block_.assign(words.begin(), words.end());
            block_first_ = first;
            return true;
        }
        if (size <= count || !may_halve_after_failure()) {
            return false;
        }
        block_size_ /= 2;
    }
}

} // namespace zklog::download
