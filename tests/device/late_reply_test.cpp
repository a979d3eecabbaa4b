// When a late reply may still come, and what the next request does about it.
#include "device/late_reply.h"

#include <gtest/gtest.h>

namespace zklog::device {
namespace {

using namespace std::chrono_literals;
using Before = LateReplyWindow::Before;

const ReadRequest kPointer{1, 1024, 1};
const ReadRequest kRecord{1, 2000, 10};
const LateReplyWindow::Clock::time_point t0{};

TEST(LateReplyWindow, OpensOnlyAfterATimeoutAndClosesOneLateWindowAfterIt) {
    LateReplyWindow window(500ms, 500ms);
    EXPECT_EQ(window.before(kRecord, t0), Before::Send);
    window.answered(t0);
    EXPECT_EQ(window.before(kRecord, t0 + 1ms), Before::Send) << "a healthy line never waits";

    window.timed_out(kPointer, t0);
    EXPECT_EQ(window.before(kPointer, t0 + 500ms), Before::SendKeepingInput);
    EXPECT_EQ(window.before(kRecord, t0 + 500ms), Before::AwaitLateReply);
    EXPECT_EQ(window.deadline(), t0 + 1000ms);
    EXPECT_EQ(window.before(kRecord, t0 + 1000ms), Before::Send);
    EXPECT_FALSE(window.open());
}

TEST(LateReplyWindow, RetryAnsweredLeavesTheOtherReplyToWaitFor) {
    LateReplyWindow window(500ms, 500ms);
    window.timed_out(kPointer, t0);
    window.answered(t0 + 500ms);
    EXPECT_EQ(window.before(kRecord, t0 + 530ms), Before::AwaitLateReply);
    EXPECT_EQ(window.deadline(), t0 + 1000ms);
    window.settled();
    EXPECT_EQ(window.before(kRecord, t0 + 530ms), Before::Send);

    // Five silent attempts, the sixth answered: the window runs from the last attempt.
    for (int attempt = 0; attempt < 5; ++attempt) {
        window.timed_out(kPointer, t0 + attempt * 500ms);
    }
    window.answered(t0 + 2500ms);
    EXPECT_EQ(window.deadline(), t0 + 3000ms);
}

TEST(LateReplyWindow, ZeroWindowNeverWaits) {
    LateReplyWindow window(100ms, 0ms);
    window.timed_out({7, 1024, 1}, t0);
    EXPECT_EQ(window.before({8, 1024, 1}, t0 + 100ms), Before::Send);
}

} // namespace
} // namespace zklog::device
