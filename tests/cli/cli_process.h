// Runs zklog-cli as a user's script would and keeps what it printed.
#pragma once

#include "tests/support/temp_dir.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace zklog::test {

struct CliResult {
    int exit_code = -1;
    std::string out;
    std::string err;
    // The last line of standard output, where the final message stands.
    std::string last_line() const;
};

// `program`: another copy of zklog-cli, e.g. one in a folder of the test's own.
CliResult run_cli(const TempDir& dir, const std::vector<std::string>& args,
                  const std::filesystem::path& program = ZKLOG_CLI_PATH);

// zklog-cli running in the background, its output going to files named after `name` in `dir`.
class CliChild {
public:
    CliChild(const TempDir& dir, const std::vector<std::string>& args, const std::string& name);
    ~CliChild();
    CliChild(const CliChild&) = delete;
    CliChild& operator=(const CliChild&) = delete;

    pid_t pid() const { return pid_; }
    // Waits for it to end; exit_code is -1 when a signal ended it.
    CliResult wait();

private:
    pid_t pid_ = -1;
    std::filesystem::path out_;
    std::filesystem::path err_;
};

} // namespace zklog::test
