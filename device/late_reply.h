// Replies that may still come for a request the link has given up on.
#pragma once

#include <chrono>
#include <cstdint>

namespace zklog::device {

// One holding-register read as it goes on the line. Two requests of the same shape ask for
// the same words, so the reply to either answers both.
struct ReadRequest {
    std::uint32_t address = 0;
    std::uint32_t first_register = 0;
    std::uint32_t count = 0;
    bool operator==(const ReadRequest&) const = default;
};

// A relay busy writing its log may answer after the response timeout. RTU frames carry no
// transaction number, so such a late reply cannot be told from the answer to the request that
// follows, and one taken in its place gives that request the wrong words. The link therefore
// keeps a window open after a timeout, up to `late_window` past the response timeout:
// - the same request again (a retry) is sent at once, and whichever reply comes first
//   answers it, since both carry the same words; the other one may still come;
// - any other request first waits for the late reply to pass (or for the window to close).
// A link without timeouts never waits: the healthy path is as fast as before.
class LateReplyWindow {
public:
    using Clock = std::chrono::steady_clock;

    enum class Before {
        Send,             // nothing can come in the way: flush the input and ask
        SendKeepingInput, // a late reply would answer this request too: keep it, and ask
        AwaitLateReply,   // wait until deadline() for the late reply, then settled()
    };

    LateReplyWindow(Clock::duration response_timeout, Clock::duration late_window)
        : response_timeout_(response_timeout), late_window_(late_window) {}

    Before before(const ReadRequest& request, Clock::time_point now);
    Clock::time_point deadline() const { return deadline_; }

    // The request sent at `sent` got no reply within the response timeout.
    void timed_out(const ReadRequest& request, Clock::time_point sent);
    // The request sent at `sent` was answered; with a window open, one of two replies came
    // and the other may follow, as promptly as the relay answers once it is free again.
    void answered(Clock::time_point sent);
    // The late reply has come, or no longer can.
    void settled() { open_ = false; }
    bool open() const { return open_; }

private:
    Clock::duration response_timeout_;
    Clock::duration late_window_;
    bool open_ = false;
    ReadRequest request_;
    Clock::time_point deadline_{};
};

} // namespace zklog::device
