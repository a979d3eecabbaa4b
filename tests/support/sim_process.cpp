#include "tests/support/sim_process.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace zklog::test {

namespace {

std::string command_line(const std::vector<std::string>& argv) {
    std::string text;
    for (const auto& a : argv) {
        text += (text.empty() ? "" : " ") + a;
    }
    return text;
}

// Everything up to the first newline, or what came before the deadline or end of output.
std::string read_first_line(int fd, std::chrono::milliseconds limit, bool& complete) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string line;
    complete = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return line;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return line;
        }
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n <= 0) {
            return line;
        }
        if (c == '\n') {
            complete = true;
            return line;
        }
        line += c;
    }
}

int decode_status(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

} // namespace

SimProcess::SimProcess(std::vector<std::string> args) {
    // The tests check downloads against the decoding edge cases, not a transformer's day.
    const auto given = [&args](const char* option) {
        return std::find(args.begin(), args.end(), option) != args.end();
    };
    if ((given("--generate") || given("--relay")) && !given("--edge-words") &&
        !given("--wrapped")) {
        args.emplace_back("--edge-words");
    }
    args.insert(args.begin(), ZKLOG_SIM_PATH);
    start(std::move(args));
}

SimProcess::SimProcess(Program program) {
    start(std::move(program.argv));
}

void SimProcess::start(std::vector<std::string> args) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    std::array<int, 2> out{};
    if (pipe2(out.data(), O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        pid_ = -1;
        throw std::system_error(rc, std::generic_category(), "cannot start " + args[0]);
    }
    // Kept open for the simulator's life: closing it could kill it with SIGPIPE.
    stdout_fd_ = out[0];

    bool complete = false;
    pty_ = read_first_line(stdout_fd_, std::chrono::seconds(5), complete);
    if (!complete || pty_.empty()) {
        const int code = stop();
        throw std::runtime_error(args[0] + " printed no pty path within 5 s (exit status " +
                                 std::to_string(code) + "): " + command_line(args));
    }
}

SimProcess::~SimProcess() {
    stop();
}

int SimProcess::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        int status = 0;
        pid_t done = 0;
        while ((done = waitpid(pid_, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (done == 0) {
            kill(pid_, SIGKILL);
            done = waitpid(pid_, &status, 0);
        }
        status_ = done == pid_ ? decode_status(status) : -1;
        pid_ = -1;
    }
    if (stdout_fd_ >= 0) {
        close(stdout_fd_);
        stdout_fd_ = -1;
    }
    return status_;
}

std::string write_image_file(const TempDir& dir, const zklog::sim::RelayImage& image,
                             const std::string& name) {
    const auto path = dir.file(name);
    image.save(path);
    return path.string();
}

} // namespace zklog::test
