// zklog-sim: a stand-in relay on a pseudo-terminal, or behind a Modbus TCP gateway on the
// loopback, for tests and demos without hardware.
#include "sim/believable_log.h"
#include "sim/fault_plan.h"
#include "sim/record_generator.h"
#include "sim/relay_image.h"
#include "sim/rtu_server.h"
#include "sim/tcp_server.h"

#include <CLI/CLI.hpp>
#include <array>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

int g_stop_write = -1;

extern "C" void on_stop_signal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_stop_write, &byte, 1);
}

// Self-pipe: the handler only writes a byte, the server loop polls for it.
int install_stop_handlers() {
    std::array<int, 2> fds{};
    if (pipe2(fds.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    g_stop_write = fds[1];
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return fds[0];
}

// A link the user chose, e.g. <exe dir>/COM3, so the client finds the pty by port number.
class PortLink {
public:
    PortLink(std::filesystem::path link, const std::string& target) : link_(std::move(link)) {
        if (std::filesystem::is_symlink(link_)) {
            std::filesystem::remove(link_);
        } else if (std::filesystem::exists(link_)) {
            throw std::runtime_error(link_.string() + " exists and is not a symlink");
        }
        std::filesystem::create_symlink(target, link_);
    }
    ~PortLink() {
        std::error_code ec;
        std::filesystem::remove(link_, ec);
    }
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

private:
    std::filesystem::path link_;
};

struct Options {
    std::string image;
    std::optional<int> generate;
    std::uint32_t seed = 1;
    int address = 1;
    std::string link;
    int baud = 0;
    std::string write_image;
    std::optional<std::uint16_t> pointer;
    std::string trace;
    bool no_serve = false;
    zklog::sim::FaultPlan faults;
    int late_ms = 700;
    int turnaround_ms = 0;
    int max_registers = 125;
    std::vector<std::string> other_relays; // ADDRESS:RECORDS
    bool edge_words = false;
    bool wrapped = false;
    std::optional<int> tcp_port;
    zklog::sim::GatewayOptions gateway;
    int gateway_delay_ms = 50;
};

// The believable transformer log by default; the edge words exercise the decoding in tests.
std::vector<zklog::sim::GeneratedRecord> generate(const Options& o, zklog::sim::RelayImage& image,
                                                  int count, std::uint32_t seed) {
    if (o.edge_words) {
        return zklog::sim::generate_records(image, count, seed);
    }
    return zklog::sim::generate_believable_log(image, count, seed,
                                               o.wrapped ? zklog::sim::LogLayout::Wrapped
                                                         : zklog::sim::LogLayout::FromStart);
}

// "ADDRESS:RECORDS": another relay on the line, 1 to 247, with that many generated records.
std::optional<std::pair<int, int>> parse_other_relay(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size() ||
        text.find_first_not_of("0123456789:") != std::string::npos ||
        text.find(':', colon + 1) != std::string::npos || colon > 3 ||
        text.size() - colon - 1 > 5) {
        return std::nullopt;
    }
    const int address = std::stoi(text.substr(0, colon));
    const int records = std::stoi(text.substr(colon + 1));
    if (address < 1 || address > 247) {
        return std::nullopt;
    }
    return std::pair{address, records};
}

const CLI::Validator kOtherRelay(
    [](const std::string& text) {
        return parse_other_relay(text) ? std::string()
                                       : "'" + text + "' is not ADDRESS:RECORDS (address 1-247)";
    },
    "ADDRESS:RECORDS");

// The other relays' memories: each its own generated log, seeded by its address.
std::vector<std::pair<int, zklog::sim::RelayImage>> build_other_relays(const Options& o) {
    std::vector<std::pair<int, zklog::sim::RelayImage>> relays;
    for (const auto& text : o.other_relays) {
        const auto [address, records] = *parse_other_relay(text);
        if (address == o.address) {
            throw std::runtime_error("--relay " + text + ": address " + std::to_string(address) +
                                     " is the main relay's");
        }
        zklog::sim::RelayImage image;
        generate(o, image, records, static_cast<std::uint32_t>(address));
        relays.emplace_back(address, std::move(image));
    }
    return relays;
}

// Counts, registers and request numbers. CLI11 takes "-1" for an unsigned 64-bit option as its
// largest value, which would quietly mean "never"; and CLI::NonNegativeNumber names the largest
// double in its message. A sign is refused here, in words.
const CLI::Validator kCount(
    [](const std::string& text) {
        return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos
                   ? std::string()
                   : "'" + text + "' is not a whole number (0 or more)";
    },
    "N");

// An empty file name (a script's unset variable) would otherwise mean the option was not given.
const CLI::Validator kFileName(
    [](const std::string& text) { return text.empty() ? std::string("empty file name") : ""; },
    "FILE");

// The faults that hit the requests given by number, each a set in the fault plan.
struct RequestFault {
    const char* option;
    std::set<std::uint64_t> zklog::sim::FaultPlan::*requests;
    const char* help;
};

const std::array<RequestFault, 8> kRequestFaults{{
    {"--silent-request", &zklog::sim::FaultPlan::silent_requests, "No answer to request N"},
    {"--corrupt-request", &zklog::sim::FaultPlan::corrupt_requests,
     "Reply to request N with a wrong frame CRC"},
    {"--exception-request", &zklog::sim::FaultPlan::exception_requests,
     "Answer request N with an illegal-data-address exception"},
    {"--wrong-address-request", &zklog::sim::FaultPlan::wrong_address_requests,
     "Reply to request N as another slave address would (valid CRC)"},
    {"--truncate-request", &zklog::sim::FaultPlan::truncated_requests,
     "Send only the first part of reply N"},
    {"--noise-request", &zklog::sim::FaultPlan::noise_requests,
     "Send line noise just before reply N"},
    {"--extra-word-request", &zklog::sim::FaultPlan::extra_word_requests,
     "Reply to read N with one register more (valid CRC)"},
    {"--missing-word-request", &zklog::sim::FaultPlan::missing_word_requests,
     "Reply to read N with one register fewer (valid CRC)"},
}};

zklog::sim::RelayImage build_image(const Options& o) {
    zklog::sim::RelayImage image;
    if (!o.image.empty()) {
        image = zklog::sim::RelayImage::load(o.image);
    } else {
        const auto records = generate(o, image, *o.generate, o.seed);
        std::cerr << "zklog-sim: generated " << records.size() << " records";
        if (static_cast<int>(records.size()) < *o.generate) {
            std::cerr << " (memory full: " << *o.generate << " requested)";
        }
        std::cerr << '\n';
    }
    if (o.pointer) {
        image.set_pointer(*o.pointer);
    }
    const auto& bad = o.faults.bad_crc_records;
    const auto spoiled = zklog::sim::spoil_checksums(image, bad);
    if (spoiled < bad.size()) {
        std::cerr << "zklog-sim: only " << spoiled << " of the --bad-crc records exist\n";
    }
    return image;
}

int serve(const Options& o, const zklog::sim::RelayImage& image) {
    const int stop_fd = install_stop_handlers();
    zklog::sim::ServerOptions server_options;
    server_options.address = o.address;
    server_options.baud = o.baud;
    if (!o.trace.empty()) {
        server_options.trace = o.trace;
    }
    server_options.faults = o.faults;
    server_options.faults.late_delay = std::chrono::milliseconds(o.late_ms);
    server_options.turnaround = std::chrono::milliseconds(o.turnaround_ms);
    server_options.max_registers = o.max_registers;
    server_options.other_relays = build_other_relays(o);
    if (o.tcp_port) {
        zklog::sim::GatewayOptions gateway = o.gateway;
        gateway.no_relay_delay = std::chrono::milliseconds(o.gateway_delay_ms);
        zklog::sim::TcpServer server(image, std::move(server_options), std::move(gateway),
                                     *o.tcp_port);
        // The port to give zklog-cli, as the pty's path is otherwise.
        std::cout << "tcp://127.0.0.1:" << server.port() << std::endl;
        server.run(stop_fd);
        return 0;
    }
    zklog::sim::RtuServer server(image, std::move(server_options));
    std::optional<PortLink> link;
    if (!o.link.empty()) {
        link.emplace(o.link, server.port_path());
    }
    // Whoever started us waits for this line to know where to connect.
    std::cout << server.port_path() << std::endl;
    server.run(stop_fd);
    return 0;
}

} // namespace

// Any failure, in setting up the options as in serving, ends with a message instead of an abort.
int main(int argc, char** argv) try {
    CLI::App app{"Simulated temperature relay: serves a memory image over Modbus RTU on a pty, "
                 "or over Modbus TCP (--tcp)"};
    Options o;
    auto* image_opt =
        app.add_option("--image", o.image, "Memory image file (131072 bytes)")->check(kFileName);
    auto* gen_opt =
        app.add_option("--generate", o.generate, "Generate N log records")->check(kCount);
    image_opt->excludes(gen_opt);
    app.add_option("--seed", o.seed, "Seed for --generate")->needs(gen_opt)->check(kCount);
    auto* edge_opt = app.add_flag("--edge-words", o.edge_words,
                                  "Generate records of random flags and edge-of-range words "
                                  "instead of a transformer's log (for decoding tests)");
    app.add_flag("--wrapped", o.wrapped,
                 "The generated log has gone round its memory: the N newest records up to the "
                 "pointer, older ones after it to the end of the memory")
        ->needs(gen_opt)
        ->excludes(edge_opt);
    app.add_option("--address", o.address, "Modbus slave address")->check(CLI::Range(1, 247));
    auto* link_opt =
        app.add_option("--link", o.link, "Symlink to create to the pty (removed at exit)")
            ->check(kFileName);
    auto* tcp_opt =
        app.add_option("--tcp", o.tcp_port,
                       "Serve over Modbus TCP on 127.0.0.1:PORT instead of a pty (0: any free "
                       "port); the first line printed is then tcp://127.0.0.1:PORT")
            ->check(CLI::Range(0, 65535))
            ->excludes(link_opt);
    auto* gateway_opt =
        app.add_flag("--gateway", o.gateway.enabled,
                     "Answer as a gateway would: exception 0x0B for an address no relay answers")
            ->needs(tcp_opt);
    app.add_option("--gateway-delay-ms", o.gateway_delay_ms,
                   "How long the gateway waits for an absent relay before its 0x0B")
        ->needs(gateway_opt)
        ->capture_default_str()
        ->check(kCount);
    app.add_option("--path-unavailable-request", o.gateway.path_unavailable_requests,
                   "Answer request N with exception 0x0A (gateway path unavailable)")
        ->needs(tcp_opt)
        ->check(kCount);
    app.add_option("--baud", o.baud, "Pace replies as at this speed (0: unpaced)")->check(kCount);
    app.add_option("--write-image", o.write_image, "Save the served image to this file")
        ->check(kFileName);
    app.add_option("--pointer", o.pointer, "Override the log pointer (register 1024)")
        ->check(kCount);
    app.add_option("--trace", o.trace, "Append one line per request received to this file")
        ->check(kFileName);
    app.add_option("--turnaround-ms", o.turnaround_ms,
                   "Start each reply this long after its request (the relay's turnaround)")
        ->check(kCount);
    // Modbus allows 125 registers in one 0x03 read; real relays often take fewer.
    app.add_option("--max-registers", o.max_registers,
                   "Answer reads of more registers with exception 03 (illegal data value)")
        ->check(CLI::Range(1, 125));
    app.add_option("--relay", o.other_relays,
                   "Another relay on the line: its address and how many records to generate")
        ->check(kOtherRelay);
    app.add_flag("--no-serve", o.no_serve, "Only build (and write) the image, then exit");

    auto& faults = o.faults;
    app.add_option("--fail-pointer", faults.fail_pointer,
                   "No answer to the first K reads starting at register 1024")
        ->check(kCount);
    app.add_option("--silent-at", faults.silent_at, "No answer to reads starting at this register")
        ->check(kCount);
    app.add_option("--silent-after", faults.silent_after, "No answer to requests after the M-th")
        ->check(kCount);
    auto* late_opt =
        app.add_option("--late-request", faults.late_requests, "Reply to request N late")
            ->check(kCount);
    auto* chaos_opt =
        app.add_option("--chaos", faults.chaos_seed,
                       "A random line from this seed: some requests answered late (up to "
                       "--late-ms), twice, after noise, with a bad CRC, cut short, or not at all")
            ->check(kCount);
    app.add_option("--chaos-percent", faults.chaos_percent,
                   "How many requests in a hundred --chaos spoils")
        ->needs(chaos_opt)
        ->capture_default_str()
        ->check(CLI::Range(0, 100));
    auto* late_ms_opt =
        app.add_option("--late-ms", o.late_ms,
                       "Delay of --late-request replies in ms (with --chaos: the longest)")
            ->check(kCount);
    app.add_option("--hangup-after", faults.hangup_after, "Close the pty after request M")
        ->check(kCount);
    app.add_option("--bad-crc", faults.bad_crc_records,
                   "Record I (0-based from 2000) gets a wrong checksum")
        ->check(kCount);
    for (const RequestFault& fault : kRequestFaults) {
        app.add_option(fault.option, faults.*fault.requests, fault.help)->check(kCount);
    }

    // Usage errors exit 2, as zklog-cli's do and as a missing --image/--generate does below,
    // rather than with CLI11's own codes (104, 105...); 1 stays for errors while running.
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : 2;
    }
    if (late_ms_opt->count() > 0 && late_opt->count() == 0 && chaos_opt->count() == 0) {
        std::cerr << "zklog-sim: --late-ms needs --late-request or --chaos\n";
        return 2;
    }
    if (o.image.empty() && !o.generate) {
        std::cerr << "zklog-sim: one of --image or --generate is required\n" << app.help();
        return 2;
    }
    const auto image = build_image(o);
    if (!o.write_image.empty()) {
        image.save(o.write_image);
    }
    if (o.no_serve) {
        return 0;
    }
    return serve(o, image);
} catch (const std::exception& e) {
    std::cerr << "zklog-sim: " << e.what() << '\n';
    return 1;
}
