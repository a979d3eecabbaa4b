#include "device/late_reply.h"

#include <algorithm>

namespace zklog::device {

LateReplyWindow::Before LateReplyWindow::before(const ReadRequest& request, Clock::time_point now) {
    if (open_ && now >= deadline_) {
        open_ = false;
    }
    if (!open_) {
        return Before::Send;
    }
    return request == request_ ? Before::SendKeepingInput : Before::AwaitLateReply;
}

void LateReplyWindow::timed_out(const ReadRequest& request, Clock::time_point sent) {
    if (late_window_ <= Clock::duration::zero()) {
        return;
    }
    const auto late_until = sent + response_timeout_ + late_window_;
    deadline_ = open_ ? std::max(deadline_, late_until) : late_until;
    request_ = request;
    open_ = true;
}

void LateReplyWindow::answered(Clock::time_point sent) {
    if (open_) {
        deadline_ = std::max(deadline_, sent + response_timeout_);
    }
}

} // namespace zklog::device
