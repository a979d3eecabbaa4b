#include "device/late_reply.h"

#include <algorithm>

namespace zklog::device {

bool OwedReplies::any_owed(Clock::time_point now) {
    std::erase_if(owed_, [now](const Owed& owed) { return owed.deadline <= now; });
    return !owed_.empty();
}

OwedReplies::Before OwedReplies::before(const ReadRequest& request, Clock::time_point now) {
    if (!any_owed(now)) {
        return Before::Send;
    }
    const bool all_alike = std::ranges::all_of(
        owed_, [&request](const Owed& owed) { return owed.request == request; });
    return all_alike ? Before::SendKeepingInput : Before::AwaitOwed;
}

void OwedReplies::owe(const ReadRequest& request, Clock::time_point sent) {
    if (late_window_ > Clock::duration::zero()) {
        owed_.push_back({request, sent + response_timeout_ + late_window_});
    }
}

void OwedReplies::unanswered(const ReadRequest& request, Clock::time_point sent) {
    owe(request, sent);
}

void OwedReplies::reply_came_while_owed(const ReadRequest& request, Clock::time_point sent) {
    if (!owed_.empty()) {
        owed_.pop_front();
    }
    owe(request, sent);
}

} // namespace zklog::device
