#include "sim/fault_plan.h"
#include "sim/record_generator.h"

#include <gtest/gtest.h>
#include <modbus/modbus.h>

namespace zklog::sim {
namespace {

constexpr int kRead = MODBUS_FC_READ_HOLDING_REGISTERS;

TEST(FaultState, NoPlanAnswersEverythingAtOnce) {
    FaultState state({});
    for (std::uint64_t n = 1; n <= 5; ++n) {
        const auto d = state.decide(n, kRead, 1024);
        EXPECT_TRUE(d.answer);
        EXPECT_FALSE(d.exception);
        EXPECT_FALSE(d.corrupt);
        EXPECT_FALSE(d.hang_up);
        EXPECT_EQ(d.extra_delay.count(), 0);
    }
}

TEST(FaultState, FailPointerSilencesOnlyTheFirstPointerReads) {
    FaultPlan plan;
    plan.fail_pointer = 2;
    FaultState state(plan);
    EXPECT_TRUE(state.decide(1, kRead, 2000).answer);
    EXPECT_FALSE(state.decide(2, kRead, 1024).answer);
    EXPECT_TRUE(state.decide(3, kRead, 1023).answer);
    EXPECT_FALSE(state.decide(4, kRead, 1024).answer);
    EXPECT_TRUE(state.decide(5, kRead, 1024).answer);
}

TEST(FaultState, SilentAtAndSilentAfter) {
    FaultPlan plan;
    plan.silent_at = {2011, 3000};
    plan.silent_after = 4;
    FaultState state(plan);
    EXPECT_FALSE(state.decide(1, kRead, 2011).answer);
    EXPECT_TRUE(state.decide(2, kRead, 2010).answer);
    EXPECT_FALSE(state.decide(3, kRead, 3000).answer);
    EXPECT_TRUE(state.decide(4, kRead, 2000).answer);
    EXPECT_FALSE(state.decide(5, kRead, 2000).answer);
    EXPECT_FALSE(state.decide(6, kRead, 1024).answer);
}

TEST(FaultState, PerRequestFaultsHitOnlyTheirRequest) {
    FaultPlan plan;
    plan.corrupt_requests = {2};
    plan.late_requests = {3};
    plan.late_delay = std::chrono::milliseconds(900);
    plan.exception_requests = {4};
    plan.hangup_after = 5;
    FaultState state(plan);
    const auto d1 = state.decide(1, kRead, 0);
    const auto d2 = state.decide(2, kRead, 0);
    const auto d3 = state.decide(3, kRead, 0);
    const auto d4 = state.decide(4, kRead, 0);
    const auto d5 = state.decide(5, kRead, 0);
    EXPECT_FALSE(d1.corrupt || d1.exception || d1.hang_up || d1.extra_delay.count() != 0);
    EXPECT_TRUE(d2.corrupt);
    EXPECT_EQ(d3.extra_delay.count(), 900);
    EXPECT_FALSE(d3.corrupt);
    EXPECT_TRUE(d4.exception);
    EXPECT_TRUE(d4.answer);
    EXPECT_TRUE(d5.hang_up);
    EXPECT_TRUE(d5.answer);
}

TEST(FaultState, ReshapingFaultsHitOnlyTheirRequest) {
    FaultPlan plan;
    plan.silent_requests = {2};
    plan.wrong_address_requests = {3};
    plan.truncated_requests = {4};
    plan.noise_requests = {5};
    plan.extra_word_requests = {6, 8};
    plan.missing_word_requests = {7, 8};
    FaultState state(plan);
    std::vector<ReplyDecision> d;
    for (std::uint64_t n = 1; n <= 9; ++n) {
        d.push_back(state.decide(n, kRead, 2000));
    }
    EXPECT_TRUE(d[0].answer);
    EXPECT_FALSE(d[1].answer);
    EXPECT_TRUE(d[2].wrong_address);
    EXPECT_TRUE(d[3].truncated);
    EXPECT_TRUE(d[4].noise_before);
    EXPECT_EQ(d[5].word_delta, 1);
    EXPECT_EQ(d[6].word_delta, -1);
    EXPECT_EQ(d[7].word_delta, 1);
    for (const std::size_t i : {0u, 8u}) {
        EXPECT_TRUE(d[i].answer) << i;
        EXPECT_FALSE(d[i].wrong_address || d[i].truncated || d[i].noise_before) << i;
        EXPECT_EQ(d[i].word_delta, 0) << i;
    }
    for (std::size_t i = 2; i < 8; ++i) {
        EXPECT_TRUE(d[i].answer) << i; // a reshaped reply is still sent
    }
}

TEST(SpoilChecksums, BreaksExactlyTheChosenRecords) {
    RelayImage image;
    const auto records = generate_records(image, 10, 4);
    const RelayImage original = image;
    EXPECT_EQ(spoil_checksums(image, {1, 3, 5000}), 2u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        const auto last = static_cast<std::uint32_t>(r.start + r.words.size() - 1);
        const std::vector<std::uint16_t> body(r.words.begin(), r.words.end() - 1);
        const bool valid = image.word(last) == record_checksum(body);
        EXPECT_EQ(valid, i != 1 && i != 3) << "record " << i;
        for (std::uint32_t w = r.start; w < last; ++w) {
            ASSERT_EQ(image.word(w), original.word(w));
        }
    }
}

} // namespace
} // namespace zklog::sim
