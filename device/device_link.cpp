#include "device/device_link.h"

#include "device/port_path.h"

#include <linux/serial.h>
#include <modbus/modbus.h>
#include <sys/ioctl.h>

namespace zklog::device {

namespace {

// The highest register plus one: a read may not run past register 65535, since the request
// frame carries the start address in 16 bits and a larger one would silently wrap around.
constexpr std::uint32_t kRegisterSpace = 0x10000;

// USB serial adapters (FTDI and alike) hold received bytes for up to their latency timer
// (16 ms by default) before passing them on; low-latency mode hands each reply over at once.
// Best effort: a pty or a driver without the setting keeps its default.
void request_low_latency(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        (void)ioctl(fd, TIOCSSERIAL, &serial);
    }
}

std::uint32_t whole_seconds(std::chrono::milliseconds ms) {
    return static_cast<std::uint32_t>(ms.count() / 1000);
}

std::uint32_t microseconds_part(std::chrono::milliseconds ms) {
    return static_cast<std::uint32_t>((ms.count() % 1000) * 1000);
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
    modbus_t* ctx = modbus_new_rtu(device.c_str(), settings_.baud, settings_.parity,
                                   settings_.data_bits, settings_.stop_bits);
    if (ctx == nullptr) {
        return kOpenFailed;
    }
    modbus_set_response_timeout(ctx, whole_seconds(settings_.response_timeout),
                                microseconds_part(settings_.response_timeout));
    modbus_set_byte_timeout(ctx, whole_seconds(settings_.byte_timeout),
                            microseconds_part(settings_.byte_timeout));
    if (modbus_connect(ctx) == -1) {
        modbus_free(ctx);
        return kOpenFailed;
    }
    request_low_latency(modbus_get_socket(ctx));
    ctx_ = ctx;
    return kOpenOk;
}

std::int32_t DeviceLink::close_comm() {
    word_count_ = 0;
    if (ctx_ == nullptr) {
        return 0;
    }
    modbus_close(ctx_);
    modbus_free(ctx_);
    ctx_ = nullptr;
    return 1;
}

std::uint32_t DeviceLink::modbus_rd(std::uint32_t address, std::uint32_t first_register,
                                    std::uint32_t count) {
    word_count_ = 0;
    if (ctx_ == nullptr || count == 0 || count > kMaxWords || first_register >= kRegisterSpace ||
        count > kRegisterSpace - first_register || address > 247) {
        return kReadFailed;
    }
    if (modbus_set_slave(ctx_, static_cast<int>(address)) == -1) {
        return kReadFailed;
    }
    // A reply that came after an earlier request had timed out still waits in the input; left
    // there, it would be taken as the answer to this request. Drop it before asking.
    modbus_flush(ctx_);
    const int got = modbus_read_registers(ctx_, static_cast<int>(first_register),
                                          static_cast<int>(count), words_.data());
    if (got != static_cast<int>(count)) {
        return kReadFailed;
    }
    word_count_ = count;
    return kReadOk;
}

std::uint32_t DeviceLink::modbus_var(std::uint32_t index) const {
    return index < word_count_ ? words_[index] : 0u;
}

} // namespace zklog::device
