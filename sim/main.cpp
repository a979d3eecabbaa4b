// zklog-sim: a stand-in relay on a pseudo-terminal, for tests and demos without hardware.
#include "sim/fault_plan.h"
#include "sim/record_generator.h"
#include "sim/relay_image.h"
#include "sim/rtu_server.h"

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
    std::vector<std::uint32_t> silent_at;
    std::vector<std::uint64_t> silent, corrupt, late, exception;
    std::vector<std::uint64_t> wrong_address, truncated, noise, extra_word, missing_word;
    std::vector<std::uint32_t> bad_crc;
    std::optional<std::uint64_t> silent_after, hangup_after;
    int late_ms = 700;
    int fail_pointer = 0;
};

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

zklog::sim::RelayImage build_image(const Options& o) {
    zklog::sim::RelayImage image;
    if (!o.image.empty()) {
        image = zklog::sim::RelayImage::load(o.image);
    } else {
        const auto records = zklog::sim::generate_records(image, *o.generate, o.seed);
        std::cerr << "zklog-sim: generated " << records.size() << " records";
        if (static_cast<int>(records.size()) < *o.generate) {
            std::cerr << " (memory full: " << *o.generate << " requested)";
        }
        std::cerr << '\n';
    }
    if (o.pointer) {
        image.set_pointer(*o.pointer);
    }
    const std::set<std::uint32_t> bad(o.bad_crc.begin(), o.bad_crc.end());
    const auto spoiled = zklog::sim::spoil_checksums(image, bad);
    if (spoiled < bad.size()) {
        std::cerr << "zklog-sim: only " << spoiled << " of the --bad-crc records exist\n";
    }
    return image;
}

zklog::sim::FaultPlan fault_plan(const Options& o) {
    zklog::sim::FaultPlan plan;
    plan.fail_pointer = o.fail_pointer;
    plan.silent_at.insert(o.silent_at.begin(), o.silent_at.end());
    plan.silent_after = o.silent_after;
    plan.silent_requests.insert(o.silent.begin(), o.silent.end());
    plan.corrupt_requests.insert(o.corrupt.begin(), o.corrupt.end());
    plan.late_requests.insert(o.late.begin(), o.late.end());
    plan.late_delay = std::chrono::milliseconds(o.late_ms);
    plan.exception_requests.insert(o.exception.begin(), o.exception.end());
    plan.hangup_after = o.hangup_after;
    plan.bad_crc_records.insert(o.bad_crc.begin(), o.bad_crc.end());
    plan.wrong_address_requests.insert(o.wrong_address.begin(), o.wrong_address.end());
    plan.truncated_requests.insert(o.truncated.begin(), o.truncated.end());
    plan.noise_requests.insert(o.noise.begin(), o.noise.end());
    plan.extra_word_requests.insert(o.extra_word.begin(), o.extra_word.end());
    plan.missing_word_requests.insert(o.missing_word.begin(), o.missing_word.end());
    return plan;
}

int serve(const Options& o, const zklog::sim::RelayImage& image) {
    const int stop_fd = install_stop_handlers();
    zklog::sim::ServerOptions server_options;
    server_options.address = o.address;
    server_options.baud = o.baud;
    if (!o.trace.empty()) {
        server_options.trace = o.trace;
    }
    server_options.faults = fault_plan(o);
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
    CLI::App app{"Simulated temperature relay: serves a memory image over Modbus RTU on a pty"};
    Options o;
    auto* image_opt =
        app.add_option("--image", o.image, "Memory image file (131072 bytes)")->check(kFileName);
    auto* gen_opt =
        app.add_option("--generate", o.generate, "Generate N log records")->check(kCount);
    image_opt->excludes(gen_opt);
    app.add_option("--seed", o.seed, "Seed for --generate")->needs(gen_opt)->check(kCount);
    app.add_option("--address", o.address, "Modbus slave address")->check(CLI::Range(1, 247));
    app.add_option("--link", o.link, "Symlink to create to the pty (removed at exit)")
        ->check(kFileName);
    app.add_option("--baud", o.baud, "Pace replies as at this speed (0: unpaced)")->check(kCount);
    app.add_option("--write-image", o.write_image, "Save the served image to this file")
        ->check(kFileName);
    app.add_option("--pointer", o.pointer, "Override the log pointer (register 1024)")
        ->check(kCount);
    app.add_option("--trace", o.trace, "Append one line per request received to this file")
        ->check(kFileName);
    app.add_flag("--no-serve", o.no_serve, "Only build (and write) the image, then exit");

    app.add_option("--fail-pointer", o.fail_pointer,
                   "No answer to the first K reads starting at register 1024")
        ->check(kCount);
    app.add_option("--silent-at", o.silent_at, "No answer to reads starting at this register")
        ->check(kCount);
    app.add_option("--silent-after", o.silent_after, "No answer to requests after the M-th")
        ->check(kCount);
    app.add_option("--silent-request", o.silent, "No answer to request N")->check(kCount);
    app.add_option("--corrupt-request", o.corrupt, "Reply to request N with a wrong frame CRC")
        ->check(kCount);
    auto* late_opt =
        app.add_option("--late-request", o.late, "Reply to request N late")->check(kCount);
    app.add_option("--late-ms", o.late_ms, "Delay of --late-request replies in ms")
        ->needs(late_opt)
        ->check(kCount);
    app.add_option("--exception-request", o.exception,
                   "Answer request N with an illegal-data-address exception")
        ->check(kCount);
    app.add_option("--hangup-after", o.hangup_after, "Close the pty after request M")
        ->check(kCount);
    app.add_option("--bad-crc", o.bad_crc, "Record I (0-based from 2000) gets a wrong checksum")
        ->check(kCount);
    app.add_option("--wrong-address-request", o.wrong_address,
                   "Reply to request N as another slave address would (valid CRC)")
        ->check(kCount);
    app.add_option("--truncate-request", o.truncated, "Send only the first part of reply N")
        ->check(kCount);
    app.add_option("--noise-request", o.noise, "Send line noise just before reply N")
        ->check(kCount);
    app.add_option("--extra-word-request", o.extra_word,
                   "Reply to read N with one register more (valid CRC)")
        ->check(kCount);
    app.add_option("--missing-word-request", o.missing_word,
                   "Reply to read N with one register fewer (valid CRC)")
        ->check(kCount);

    // Usage errors exit 2, as zklog-cli's do and as a missing --image/--generate does below,
    // rather than with CLI11's own codes (104, 105...); 1 stays for errors while running.
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : 2;
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
