#include "sim/fault_plan.h"

#include <modbus/modbus.h>

namespace zklog::sim {

ReplyDecision FaultState::decide(std::uint64_t request, int function,
                                 std::uint32_t first_register) {
    ReplyDecision d;
    d.hang_up = plan_.hangup_after && request == *plan_.hangup_after;
    const bool is_read = function == MODBUS_FC_READ_HOLDING_REGISTERS;
    if (plan_.silent_after && request > *plan_.silent_after) {
        d.answer = false;
    }
    if (is_read && first_register == RelayImage::kPointerRegister &&
        pointer_reads_failed_ < plan_.fail_pointer) {
        ++pointer_reads_failed_;
        d.answer = false;
    }
    if (is_read && plan_.silent_at.contains(first_register)) {
        d.answer = false;
    }
    if (plan_.silent_requests.contains(request)) {
        d.answer = false;
    }
    d.exception = plan_.exception_requests.contains(request);
    d.corrupt = plan_.corrupt_requests.contains(request);
    if (plan_.late_requests.contains(request)) {
        d.extra_delay = plan_.late_delay;
    }
    d.wrong_address = plan_.wrong_address_requests.contains(request);
    d.truncated = plan_.truncated_requests.contains(request);
    d.noise_before = plan_.noise_requests.contains(request);
    if (plan_.extra_word_requests.contains(request)) {
        d.word_delta = 1;
    } else if (plan_.missing_word_requests.contains(request)) {
        d.word_delta = -1;
    }
    return d;
}

std::size_t spoil_checksums(RelayImage& image, const std::set<std::uint32_t>& records) {
    const auto spans = walk_records(image, RelayImage::kLastRecordStart);
    std::size_t spoiled = 0;
    for (const auto index : records) {
        if (index < spans.size()) {
            const auto& span = spans[index];
            const std::uint32_t reg = span.start + span.length - 1;
            image.set_word(reg, static_cast<std::uint16_t>(image.word(reg) ^ 0x5A5A));
            ++spoiled;
        }
    }
    return spoiled;
}

} // namespace zklog::sim
