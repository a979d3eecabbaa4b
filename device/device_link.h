// The link to one relay: a Modbus master on a serial port (RTU) or through a network gateway
// (TCP), and the words of its last read.
#pragma once

#include "device/link_transport.h"
#include "device/network_port.h"
#include "device/serial_settings.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace zklog::device {

class DeviceLink {
public:
    static constexpr std::int32_t kOpenOk = 4;
    static constexpr std::int32_t kNoSuchPort = 0;
    static constexpr std::int32_t kOpenFailed = 1;
    static constexpr std::uint32_t kReadOk = 1;
    static constexpr std::uint32_t kReadFailed = 0;
    static constexpr std::uint32_t kMaxWords = 125; // Modbus limit of one 0x03 read

    explicit DeviceLink(SerialSettings settings = {});
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // A reply spoilt on the line (wrong frame CRC, noise before it, cut short) is asked for again
    // this many times, once the line has gone quiet. Exception replies are not.
    static constexpr int kGarbledRetries = 2;
    // A read that asks for it (OnSilence::AskAgain) is asked again this many times after a
    // timeout with no reply. The tries of one read are counted together, whatever each met:
    // three in all.
    static constexpr int kSilenceRetries = 2;

    // What a read does when the relay stays silent. A lost request or reply costs a record read
    // one timeout and a retry, not the download; a caller that has its own attempts (the log
    // pointer's six) or asks each address once (a bus scan) gives up at the first timeout.
    enum class OnSilence { GiveUp, AskAgain };

    // Opens COM `port` (see com_port_path, relative to the executable's folder). kOpenOk when
    // open; any other value is a failure. An open port is closed first. The port is held for
    // this link alone until close_comm (see PortClaim): a port another program holds fails.
    std::int32_t open_comm(std::int32_t port);
    // The same for a device path such as /dev/ttyUSB0 or a pty.
    std::int32_t open_path(const std::filesystem::path& device);
    // Connects to a Modbus TCP gateway instead; the relay's address goes as the unit identifier
    // and the serial line settings other than the timeouts do not count. The connection is
    // given the response timeout to be made.
    std::int32_t open_network(const NetworkPort& port);
    // Why the last open failed, in the system's words ("Connection refused", "Connection timed
    // out", a host name not found), where the medium says; empty otherwise.
    const std::string& open_failure() const { return open_failure_; }
    // Closes the port if one is open; always safe to call.
    std::int32_t close_comm();
    // True from a successful open until close_comm, even while the port is lost (see modbus_rd).
    bool is_open() const { return transport_ != nullptr; }
    // True once a read found the port itself gone, until it is opened again.
    bool port_lost() const { return port_lost_; }

    // Reads `count` holding registers (function 0x03) from slave `address`, starting at
    // `first_register`. kReadOk when the word buffer now holds exactly those words; any other
    // value is a failure and leaves the buffer empty. A garbled reply is asked for again (see
    // kGarbledRetries), and so is silence if `on_silence` says so; after a timeout, a reply that
    // comes late is never taken as the answer to another request (on a serial line see
    // OwedReplies, while the same read asked again takes it; through a gateway its transaction
    // identifier tells).
    // A read that finds the port itself gone (adapter unplugged, connection dropped) closes it;
    // the next read opens the same device path (or connects) again first, and fails at once if
    // it cannot.
    std::uint32_t modbus_rd(std::uint32_t address, std::uint32_t first_register,
                            std::uint32_t count, OnSilence on_silence = OnSilence::GiveUp);
    // Word `index` of the last successful read, 0 to 65535; 0 past the words read.
    std::uint32_t modbus_var(std::uint32_t index) const;
    std::uint32_t words_read() const { return word_count_; }
    // Why the last read failed, as an errno value: ETIMEDOUT when the relay stayed silent (or a
    // gateway said it did, exception 0x0B), libmodbus's EMBX* codes for an exception reply
    // (EMBXILADD, EMBXILVAL, EMBXGPATH, ...), EMBBADCRC and the like for a garbled reply, EINVAL
    // for a request the link refused. 0 after a success.
    int last_error() const { return last_error_; }
    // The words of the last successful read (empty after a failed one).
    std::span<const std::uint16_t> words() const { return {words_.data(), word_count_}; }

    // Work of the caller's to do while a reply is on its way: run once, right after the next
    // request has gone out (never, if none does), so that on a line slower than the work it
    // costs no time. The reply is waited for from the task's end. A task that throws leaves its
    // request's reply owed (see OwedReplies) and ends the read with that exception. Where the
    // last reply came sooner than its request could cross the line, the task runs just before
    // the request instead, and one that throws ends the read with nothing sent. An empty task
    // withdraws one not yet run.
    void while_next_reply_travels(std::function<void()> task) {
        while_reply_travels_ = std::move(task);
    }

private:
    std::int32_t open_with(std::unique_ptr<LinkTransport> transport);
    bool reopen_lost_port();
    void lose_port();

    SerialSettings settings_;
    std::unique_ptr<LinkTransport> transport_;
    bool port_lost_ = false; // the transport is closed and waits to open its port again
    std::string open_failure_;
    std::array<std::uint16_t, kMaxWords> words_{};
    std::uint32_t word_count_ = 0;
    int last_error_ = 0;
    std::function<void()> while_reply_travels_;
};

} // namespace zklog::device
