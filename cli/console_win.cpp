// The console on Windows: its code page, its virtual terminal mode and its control events.
#include "cli/console.h"

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace zklog::cli {

namespace {

std::atomic<bool> g_stop_requested{false};

// Runs on a thread of its own that Windows starts for the event.
BOOL WINAPI on_console_event(DWORD event) {
    g_stop_requested = true;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        return TRUE;
    default:
        // Closing the window, logging off, shutting down: Windows ends the process as soon as
        // this returns, so it waits for the download to stop at its next record and main() to
        // return with the stop's exit code (Windows itself gives up after some seconds).
        Sleep(INFINITE);
        return TRUE;
    }
}

} // namespace

void prepare_console() {
    // The messages are Portuguese in UTF-8; the console's default code page (850 or 1252)
    // would show "vazio!" fine but "está" as "estÃ¡".
    SetConsoleOutputCP(CP_UTF8);
    // The progress line is redrawn with "\r\033[K", which the console understands only in
    // virtual terminal mode. Nothing to do when standard error is not a console.
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (err != INVALID_HANDLE_VALUE && GetConsoleMode(err, &mode) != 0) {
        SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

void binary_stdout() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

bool stderr_is_terminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void catch_stop_requests() {
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool stop_was_requested() {
    return g_stop_requested;
}

} // namespace zklog::cli
