// The relay's Modbus RTU slave on a pty: libmodbus parses requests and builds replies; this
// loop decides when (and whether, and how intact) each reply goes out.
#pragma once

#include "sim/fault_plan.h"
#include "sim/pty_pair.h"
#include "sim/relay_image.h"
#include "sim/request_trace.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _modbus;           // NOLINT(bugprone-reserved-identifier): libmodbus's own tag
struct _modbus_mapping_t; // NOLINT(bugprone-reserved-identifier): libmodbus's own tag

namespace zklog::sim {

struct ServerOptions {
    int address = 1;
    int baud = 0; // 0: reply at once; else as late as the wire would at this speed
    std::optional<std::filesystem::path> trace;
    FaultPlan faults;
    // How long the relay takes to start its reply once a request is in; other requests are
    // still taken in meanwhile.
    std::chrono::milliseconds turnaround{0};
    // The most registers one read may ask for; bigger reads get exception 03 (illegal data
    // value), as relays with a smaller buffer than Modbus's 125 registers answer.
    int max_registers = 125;
    // More relays on the same line, each with its slave address and its own memory. They answer
    // every read (with the same turnaround, pacing and register limit); the faults and the
    // request numbers are this relay's alone.
    std::vector<std::pair<int, RelayImage>> other_relays;
};

class RtuServer {
public:
    // Opens the pty; throws std::runtime_error (or std::system_error) when it cannot.
    RtuServer(const RelayImage& image, ServerOptions options);
    ~RtuServer();
    RtuServer(const RtuServer&) = delete;
    RtuServer& operator=(const RtuServer&) = delete;

    const std::string& port_path() const { return pty_.slave_path(); }

    // Serves requests until `stop_fd` becomes readable.
    void run(int stop_fd);

private:
    using Clock = std::chrono::steady_clock;
    struct Outgoing {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
        bool hang_up = false;
    };

    void reset_context();
    int receive_on_shared_line(std::uint8_t* request);
    void handle_request();
    std::vector<std::uint8_t> build_reply(const std::uint8_t* request, int length, int exception);
    void spoil_reply(std::vector<std::uint8_t>& bytes, const ReplyDecision& decision,
                     const TraceEntry& request) const;
    Clock::duration wire_time(std::size_t request_bytes, std::size_t reply_bytes) const;
    void send_due();
    void hang_up_when_read();
    void schedule(Outgoing out);

    ServerOptions options_;
    FaultState faults_;
    PtyPair pty_;
    _modbus* ctx_ = nullptr;
    _modbus_mapping_t* mapping_ = nullptr;
    std::map<int, _modbus_mapping_t*> other_mappings_;
    _modbus_mapping_t* serving_ = nullptr; // the memory of the relay the request is for
    std::array<int, 2> feed_ = {-1, -1};   // hands a frame read off the line to libmodbus
    std::array<int, 2> capture_ = {-1, -1};
    std::unique_ptr<TraceWriter> trace_;
    std::uint64_t requests_ = 0;
    std::vector<Outgoing> outgoing_; // in order of `due`
    std::optional<Clock::time_point> hangup_check_;
    Clock::time_point hangup_deadline_;
};

} // namespace zklog::sim
