#include "cli/console_frontend.h"

#include "cli/console.h"
#include "download/log_download.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace zklog::cli {

namespace {

constexpr int kBarWidth = 30;
// Redrawing on every record would cost more than reading it on a fast line.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

} // namespace

ConsoleFrontend::ConsoleFrontend(std::string port, std::string address, bool whole_memory)
    : port_(std::move(port)), address_(std::move(address)), whole_memory_(whole_memory),
      show_bar_(stderr_is_terminal()), started_(std::chrono::steady_clock::now()) {}

void ConsoleFrontend::stop_on_signals() {
    catch_stop_requests();
}

void ConsoleFrontend::set_status_text(std::string_view) {}

void ConsoleFrontend::show_message(std::string_view text, download::MessageIcon, std::string_view) {
    clear_progress_line();
    std::cout << text << std::endl;
}

bool ConsoleFrontend::stop_requested() {
    return stop_was_requested();
}

bool ConsoleFrontend::yield() {
    return !stop_was_requested();
}

void ConsoleFrontend::progress(int records, std::uint32_t log_address, std::uint32_t end_address) {
    if (!show_bar_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (bar_drawn_ && now - last_drawn_ < kRedrawInterval) {
        return;
    }
    last_drawn_ = now;
    bar_drawn_ = true;
    const double total = std::max<double>(1.0, end_address - download::kLogStart + 1);
    const double done = std::min<double>(total, log_address - download::kLogStart);
    const int filled = static_cast<int>(kBarWidth * done / total);
    const double seconds = std::chrono::duration<double>(now - started_).count();
    const double rate = seconds > 0 ? records / seconds : 0.0;
    std::fprintf(stderr, "\r[%-*s] %d registros, %.0f/%.0f palavras, %.1f registros/s ", kBarWidth,
                 std::string(static_cast<std::size_t>(filled), '#').c_str(), records, done, total,
                 rate);
    std::fflush(stderr);
}

void ConsoleFrontend::clear_progress_line() {
    if (bar_drawn_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        bar_drawn_ = false;
    }
}

} // namespace zklog::cli
