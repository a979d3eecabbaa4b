// The console on Linux: a terminal that speaks UTF-8 already, and signals.
#include "cli/console.h"

#include <csignal>
#include <unistd.h>

namespace zklog::cli {

namespace {

volatile std::sig_atomic_t g_stop_requested = 0;

void request_stop(int) {
    g_stop_requested = 1;
}

} // namespace

void prepare_console() {}

void binary_stdout() {}

bool stderr_is_terminal() {
    return isatty(STDERR_FILENO) == 1;
}

void catch_stop_requests() {
    struct sigaction action {};
    action.sa_handler = request_stop;
    sigemptyset(&action.sa_mask);
    // A signal that lands in a system call (a write to the port, a save) must not make that
    // call fail: it would be reported as a device or database error instead of a stop.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool stop_was_requested() {
    return g_stop_requested != 0;
}

} // namespace zklog::cli
