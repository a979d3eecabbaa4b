#include "sim/fault_plan.h"

#include <algorithm>
#include <modbus/modbus.h>

namespace zklog::sim {

FaultState::FaultState(FaultPlan plan) : plan_(std::move(plan)) {
    if (plan_.chaos_seed) {
        chaos_.emplace(*plan_.chaos_seed);
    }
}

// One draw per request, whatever else the plan says of it, so that a seed gives the same line
// to the same requests.
void FaultState::add_chaos(ReplyDecision& d) {
    const bool hit = chaos_->chance(plan_.chaos_percent, 100);
    // A late reply is the fault that can pass for another request's answer: it gets the
    // largest share, the other five an equal part of the rest.
    const auto draw = chaos_->between(0, 9);
    const auto kind = draw < 5 ? ChaosFault::Late : static_cast<ChaosFault>(draw - 4);
    const auto late = std::chrono::milliseconds(
        chaos_->between(1, std::max<std::int64_t>(1, plan_.late_delay.count())));
    if (!hit) {
        return;
    }
    switch (kind) {
    case ChaosFault::Late:
        d.extra_delay = late;
        break;
    case ChaosFault::Twice:
        d.twice = true;
        break;
    case ChaosFault::Noise:
        d.noise_before = true;
        break;
    case ChaosFault::Corrupt:
        d.corrupt = true;
        break;
    case ChaosFault::CutShort:
        d.truncated = true;
        break;
    case ChaosFault::Silent:
        d.answer = false;
        break;
    }
}

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
    if (chaos_) {
        add_chaos(d);
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
