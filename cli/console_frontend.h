// The download's front end on a terminal: messages on standard output, a progress bar on
// standard error when that is a terminal.
#pragma once

#include "download/download_frontend.h"

#include <chrono>
#include <iosfwd>
#include <string>

namespace zklog::cli {

class ConsoleFrontend : public download::DownloadFrontend {
public:
    ConsoleFrontend(std::string port, std::string address, bool whole_memory);

    void set_status_text(std::string_view text) override;
    void show_message(std::string_view text, download::MessageIcon icon,
                      std::string_view title) override;
    void set_start_enabled(bool) override {}
    bool yield() override;
    std::string port_text() override { return port_; }
    std::string address_text() override { return address_; }
    bool read_up_to_pointer() override { return !whole_memory_; }
    bool takes_network_ports() const override { return true; }
    void progress(int records, std::uint32_t log_address, std::uint32_t end_address) override;

    // Ctrl-C and SIGTERM (closing the console on Windows) stop the download at the next
    // record, keeping the saved rows.
    static void stop_on_signals();
    // True once SIGINT or SIGTERM has come.
    static bool stop_requested();
    bool asked_to_stop() override { return stop_requested(); }

private:
    void clear_progress_line();

    std::string port_;
    std::string address_;
    bool whole_memory_;
    bool show_bar_;
    bool bar_drawn_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point last_drawn_{};
};

} // namespace zklog::cli
