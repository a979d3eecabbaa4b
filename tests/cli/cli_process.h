// Runs zklog-cli as a user's script would and keeps what it printed.
#pragma once

#include "tests/support/temp_dir.h"

#include <string>
#include <vector>

namespace zklog::test {

struct CliResult {
    int exit_code = -1;
    std::string out;
    std::string err;
    // The last line of standard output, where the final message stands.
    std::string last_line() const;
};

CliResult run_cli(const TempDir& dir, const std::vector<std::string>& args);

} // namespace zklog::test
