// A Modbus TCP client talking to a gateway in front of the relays' RS-485 bus; the relay's
// address goes as the unit identifier. Unlike a serial line, every reply carries the
// transaction identifier of its request, so a late reply is told apart by that alone: no
// waiting out owed replies, no watching of a line.
#pragma once

#include "device/link_transport.h"
#include "device/network_port.h"
#include "device/serial_settings.h"

#include <chrono>
#include <cstdint>
#include <memory>

struct _modbus; // NOLINT(bugprone-reserved-identifier): libmodbus context, its own tag

namespace zklog::device {

class TcpTransport final : public LinkTransport {
public:
    // nullptr when libmodbus cannot make a context for the address.
    static std::unique_ptr<TcpTransport> make(const SerialSettings& settings,
                                              const NetworkPort& port);
    ~TcpTransport() override;
    TcpTransport(const TcpTransport&) = delete;
    TcpTransport& operator=(const TcpTransport&) = delete;

    bool connect() override;
    void close() override;
    void lose() override;
    std::string open_failure() const override { return open_failure_; }
    ReplyVerdict exchange(const ReadRequest& request, std::span<std::uint16_t> words,
                          std::function<void()>& while_reply_travels) override;
    void discard_spoilt_reply(int error) override;

private:
    TcpTransport(const SerialSettings& settings, _modbus* ctx, std::string host);
    ReplyVerdict await_reply(const ReadRequest& request, std::uint16_t transaction,
                             std::span<std::uint16_t> words);

    std::chrono::milliseconds response_timeout_;
    _modbus* ctx_ = nullptr;
    std::uint16_t transaction_ = 0; // of the last request sent
    std::string host_;
    std::string open_failure_;
};

} // namespace zklog::device
