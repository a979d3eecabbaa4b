#include "device/device_link.h"

#include "device/port_path.h"
#include "device/rtu_transport.h"
#include "device/tcp_transport.h"

#include <cerrno>
#include <modbus/modbus.h>
#include <utility>

namespace zklog::device {

namespace {

// The highest register plus one: a read may not run past register 65535, since the request
// frame carries the start address in 16 bits and a larger one would silently wrap around.
constexpr std::uint32_t kRegisterSpace = 0x10000;

// What libmodbus reports when the device file itself is gone rather than the relay silent or
// garbled. A tty whose adapter was pulled, or a pty whose other side closed, is hung up for
// good: read() returns 0 (libmodbus turns that into ECONNRESET) and write() fails with EIO, and
// no reply will ever come through that descriptor again. ENXIO and ENODEV come from drivers
// whose device is being removed, EBADF from a descriptor that is no longer there. A network
// connection the gateway (or the network) dropped shows as ECONNRESET or EPIPE.
bool port_is_gone(int error) {
    return error == ECONNRESET || error == EIO || error == ENXIO || error == ENODEV ||
           error == EBADF || error == EPIPE;
}

} // namespace

DeviceLink::DeviceLink(SerialSettings settings) : settings_(settings) {}

DeviceLink::~DeviceLink() {
    close_comm();
}

std::int32_t DeviceLink::open_comm(std::int32_t port) {
    close_comm();
    auto path = com_port_path(port, executable_dir());
    if (!path) {
        return kNoSuchPort;
    }
    return open_path(*path);
}

std::int32_t DeviceLink::open_path(const std::filesystem::path& device) {
    close_comm();
    return open_with(RtuTransport::make(settings_, device));
}

std::int32_t DeviceLink::open_network(const NetworkPort& port) {
    close_comm();
    return open_with(TcpTransport::make(settings_, port));
}

std::int32_t DeviceLink::open_with(std::unique_ptr<LinkTransport> transport) {
    open_failure_.clear();
    if (!transport) {
        return kOpenFailed;
    }
    if (!transport->connect()) {
        open_failure_ = transport->open_failure();
        return kOpenFailed;
    }
    transport_ = std::move(transport);
    return kOpenOk;
}

// The port is opened once per program run, so without this a pulled and replugged adapter (or
// a relay restarted behind a COM link, or a gateway restarted) would need the program
// restarted. Connecting the transport again opens that same path, which finds the adapter
// again once it is back under the same name.
bool DeviceLink::reopen_lost_port() {
    if (!transport_->connect()) {
        return false;
    }
    port_lost_ = false;
    return true;
}

void DeviceLink::lose_port() {
    transport_->lose();
    port_lost_ = true;
}

std::int32_t DeviceLink::close_comm() {
    word_count_ = 0;
    if (!transport_) {
        return 0;
    }
    if (!port_lost_) {
        transport_->close();
    }
    port_lost_ = false;
    transport_.reset();
    return 1;
}

std::uint32_t DeviceLink::modbus_rd(std::uint32_t address, std::uint32_t first_register,
                                    std::uint32_t count, OnSilence on_silence) {
    word_count_ = 0;
    last_error_ = EINVAL;
    if (!transport_ || count == 0 || count > kMaxWords || first_register >= kRegisterSpace ||
        count > kRegisterSpace - first_register || address > 247) {
        return kReadFailed;
    }
    if (port_lost_ && !reopen_lost_port()) {
        last_error_ = ENODEV;
        return kReadFailed;
    }
    const ReadRequest request{address, first_register, count};
    for (int attempt = 0;; ++attempt) {
        const ReplyVerdict verdict = transport_->exchange(request, words_, while_reply_travels_);
        last_error_ = verdict.error;
        if (verdict.error == 0) {
            word_count_ = count;
            return kReadOk;
        }
        if (port_is_gone(verdict.error)) {
            lose_port();
            return kReadFailed;
        }
        if (!verdict.garbled) {
            // The retry goes out at once: on a serial line, keeping the input, since a reply to
            // the silent request that comes late answers it as well as its own would (see
            // OwedReplies).
            const bool ask_again = verdict.error == ETIMEDOUT &&
                                   on_silence == OnSilence::AskAgain && attempt < kSilenceRetries;
            if (ask_again) {
                continue;
            }
            return kReadFailed;
        }
        transport_->discard_spoilt_reply(verdict.error);
        if (attempt >= kGarbledRetries) {
            return kReadFailed;
        }
    }
}

std::uint32_t DeviceLink::modbus_var(std::uint32_t index) const {
    return index < word_count_ ? words_[index] : 0u;
}

} // namespace zklog::device
