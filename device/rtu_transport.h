// A Modbus RTU master on a serial port: libmodbus frames the requests, and the link watches the
// line beneath it (first byte, drain until quiet), and times the replies a relay may still owe.
#pragma once

#include "device/link_transport.h"
#include "device/port_claim.h"
#include "device/serial_settings.h"

#include <chrono>
#include <filesystem>

struct _modbus; // NOLINT(bugprone-reserved-identifier): libmodbus context, its own tag

namespace zklog::device {

class RtuTransport final : public LinkTransport {
public:
    // The context is made at once; nullptr from make() when the settings cannot run the line.
    static std::unique_ptr<RtuTransport> make(const SerialSettings& settings,
                                              const std::filesystem::path& device);
    ~RtuTransport() override;
    RtuTransport(const RtuTransport&) = delete;
    RtuTransport& operator=(const RtuTransport&) = delete;

    bool connect() override;
    void close() override;
    void lose() override;
    ReplyVerdict exchange(const ReadRequest& request, std::span<std::uint16_t> words,
                          std::function<void()>& while_reply_travels) override;
    void discard_spoilt_reply(int error) override;

private:
    RtuTransport(const SerialSettings& settings, _modbus* ctx, std::filesystem::path device);
    void await_owed_replies();
    void wait_for_quiet_line();
    void run_while_reply_travels(std::function<void()>& task, const ReadRequest& request,
                                 OwedReplies::Clock::time_point sent);

    SerialSettings settings_;
    // How long a read request takes on the line at the settings' rate.
    std::chrono::microseconds request_line_time_{0};
    _modbus* ctx_ = nullptr;
    std::filesystem::path device_;
    PortClaim claim_;
    OwedReplies owed_;
    // Whether the last reply took at least its request's own time on the line to begin: only
    // then is there a wait for while_next_reply_travels to fill.
    bool replies_outlast_requests_ = true;
};

} // namespace zklog::device
