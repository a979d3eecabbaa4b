// zklog-sim running as a child process for the length of one test.
#pragma once

#include "sim/relay_image.h"
#include "tests/support/temp_dir.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace zklog::test {

class SimProcess {
public:
    // Starts zklog-sim with `args` and waits up to 5 s for the pty path it prints first.
    // Throws std::runtime_error (failing the test with the reason) if none comes. A generated
    // log is the edge-word one (--edge-words) unless `args` ask for the believable one's
    // --wrapped.
    explicit SimProcess(std::vector<std::string> args);
    // Another server that prints where to reach it as its first line, e.g. a Python script:
    // `argv` whole, program first.
    struct Program {
        std::vector<std::string> argv;
    };
    explicit SimProcess(Program program);
    // Stops the simulator if still running.
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The first line printed: the pty's path, or tcp://127.0.0.1:PORT under --tcp.
    const std::string& pty() const { return pty_; }
    pid_t pid() const { return pid_; }

    // SIGTERM, then SIGKILL if it has not exited within 2 s. Returns the exit code, or 128 plus
    // the signal number if a signal ended it. Calling it again returns the same value.
    int stop();

private:
    void start(std::vector<std::string> args);

    pid_t pid_ = -1;
    int stdout_fd_ = -1;
    int status_ = -1;
    std::string pty_;
};

// Saves `image` as `name` in `dir`; returns the file's path for --image.
std::string write_image_file(const TempDir& dir, const zklog::sim::RelayImage& image,
                             const std::string& name = "image.bin");

} // namespace zklog::test
