#include "device/tcp_transport.h"

#include "device/tcp_socket.h"

#include <array>
#include <cerrno>
#include <modbus/modbus.h>
#include <string>
#include <utility>

namespace zklog::device {

namespace {

using Clock = std::chrono::steady_clock;

// Modbus Messaging on TCP/IP, 3.1.3: the MBAP header is the transaction identifier, the
// protocol identifier (0), the length of what follows it, and the unit identifier.
constexpr std::size_t kMbapBytes = 7;
constexpr std::size_t kReadPduBytes = 5; // function, first register, count

// The request of a holding-register read under its MBAP header. libmodbus frames the replies,
// but its raw requests all go out with transaction identifier 0, which would let a late reply
// pass for the answer to any later request: the header is made here, with an identifier of
// the link's own.
std::array<std::uint8_t, kMbapBytes + kReadPduBytes> read_request_adu(const ReadRequest& request,
                                                                      std::uint16_t transaction) {
    return {static_cast<std::uint8_t>(transaction >> 8),
            static_cast<std::uint8_t>(transaction & 0xFF),
            0,
            0,
            0,
            static_cast<std::uint8_t>(1 + kReadPduBytes),
            static_cast<std::uint8_t>(request.address),
            MODBUS_FC_READ_HOLDING_REGISTERS,
            static_cast<std::uint8_t>(request.first_register >> 8),
            static_cast<std::uint8_t>(request.first_register & 0xFF),
            static_cast<std::uint8_t>(request.count >> 8),
            static_cast<std::uint8_t>(request.count & 0xFF)};
}

void set_response_timeout(modbus_t* ctx, std::chrono::microseconds timeout) {
    modbus_set_response_timeout(ctx, static_cast<std::uint32_t>(timeout.count() / 1'000'000),
                                static_cast<std::uint32_t>(timeout.count() % 1'000'000));
}

} // namespace

std::unique_ptr<TcpTransport> TcpTransport::make(const SerialSettings& settings,
                                                 const NetworkPort& port) {
    modbus_t* ctx = modbus_new_tcp_pi(port.host.c_str(), std::to_string(port.port).c_str());
    if (ctx == nullptr) {
        return nullptr;
    }
    modbus_set_byte_timeout(ctx,
                            static_cast<std::uint32_t>(settings.byte_timeout.count() / 1'000'000),
                            static_cast<std::uint32_t>(settings.byte_timeout.count() % 1'000'000));
    return std::unique_ptr<TcpTransport>(new TcpTransport(settings, ctx, port.host));
}

TcpTransport::TcpTransport(const SerialSettings& settings, modbus_t* ctx, std::string host)
    : response_timeout_(settings.response_timeout), ctx_(ctx), host_(std::move(host)) {}

TcpTransport::~TcpTransport() {
    modbus_free(ctx_);
}

// libmodbus gives the connection the response timeout to be made: a gateway that does not
// answer at all fails as soon as a silent relay would.
bool TcpTransport::connect() {
    set_response_timeout(ctx_, response_timeout_);
    clear_socket_failure_cause();
    if (modbus_connect(ctx_) == -1) {
        int error = socket_failure_cause();
        // libmodbus stops waiting for the connection without a word of its own.
        if (error == EINPROGRESS || error == EALREADY || error == EWOULDBLOCK) {
            error = ETIMEDOUT;
        }
        open_failure_ = name_lookup_failure(host_);
        if (open_failure_.empty()) {
            open_failure_ = modbus_strerror(error);
        }
        return false;
    }
    open_failure_.clear();
    return true;
}

void TcpTransport::close() {
    modbus_close(ctx_);
}

void TcpTransport::lose() {
    modbus_close(ctx_);
}

// A frame that did not fit may have left part of itself, or more, in the stream: it goes, so
// that the next reply is read from its own first byte.
void TcpTransport::discard_spoilt_reply(int) {
    modbus_flush(ctx_);
}

ReplyVerdict TcpTransport::exchange(const ReadRequest& request, std::span<std::uint16_t> words,
                                    std::function<void()>& while_reply_travels) {
    const std::uint16_t transaction = ++transaction_;
    const auto adu = read_request_adu(request, transaction);
    if (const int error = send_frame(modbus_get_socket(ctx_), adu); error != 0) {
        return {error, false};
    }
    if (while_reply_travels) {
        // The reply needs a round trip through the gateway and the relay's line. A task that
        // throws leaves it to come later, where its transaction identifier has it dropped.
        std::exchange(while_reply_travels, nullptr)();
    }
    return await_reply(request, transaction, words);
}

// Replies to earlier requests (late ones, one given twice) are dropped whatever they hold, and
// the wait goes on until the response timeout has passed since the request went out.
ReplyVerdict TcpTransport::await_reply(const ReadRequest& request, std::uint16_t transaction,
                                       std::span<std::uint16_t> words) {
    const auto deadline = Clock::now() + response_timeout_;
    std::array<std::uint8_t, MODBUS_TCP_MAX_ADU_LENGTH> reply{};
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now());
        if (left <= std::chrono::microseconds::zero()) {
            return {ETIMEDOUT, false};
        }
        set_response_timeout(ctx_, left);
        clear_socket_failure_cause();
        const int length = modbus_receive_confirmation(ctx_, reply.data());
        if (length == -1) {
            const int error = socket_failure_cause();
            if (error == ETIMEDOUT) {
                // Before the deadline, only a reply that began and stopped times out.
                return {ETIMEDOUT, Clock::now() < deadline};
            }
            return {error, reply_was_garbled(error)};
        }
        const auto frame = std::span(reply).first(static_cast<std::size_t>(length));
        if (frame.size() < kMbapBytes ||
            MODBUS_GET_INT16_FROM_INT8(frame.data(), 0) != transaction) {
            continue;
        }
        const ReplyVerdict verdict = check_read_reply(request, frame, words, kTcpFrame);
        // The gateway asked the relay and heard nothing: the relay's silence, passed on.
        if (verdict.error == EMBXGTAR) {
            return {ETIMEDOUT, false};
        }
        return verdict;
    }
}

} // namespace zklog::device
