// What zklog-cli needs of the console it runs in, where the platforms differ. One file per
// platform: console_unix.cpp, console_win.cpp.
#pragma once

namespace zklog::cli {

// Readies the console for the program's output: Portuguese text in UTF-8 and the control
// sequences that redraw the progress line.
void prepare_console();

// Standard output passes bytes as they are written (Windows' text mode turns "\n" into
// "\r\n"), for output that has line ends of its own.
void binary_stdout();

// Whether standard error is a terminal, where a progress line can be redrawn in place.
bool stderr_is_terminal();

// From now on the user's requests to stop (Ctrl-C, a termination signal, closing the console
// window) no longer end the program at once but are noted for stop_was_requested(), so that a
// download stops at the next record and keeps its saved rows.
void catch_stop_requests();
bool stop_was_requested();

} // namespace zklog::cli
