#include "tests/cli/cli_process.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace zklog::test {

namespace {

std::string shell_quoted(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

std::string CliResult::last_line() const {
    std::string text = out;
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
}

CliResult run_cli(const TempDir& dir, const std::vector<std::string>& args) {
    std::string command = shell_quoted(ZKLOG_CLI_PATH);
    for (const auto& arg : args) {
        command += " " + shell_quoted(arg);
    }
    const auto out = dir.file("cli.out");
    const auto err = dir.file("cli.err");
    command += " </dev/null >" + shell_quoted(out.string()) + " 2>" + shell_quoted(err.string());
    const int status = std::system(command.c_str());
    CliResult result;
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = contents(out);
    result.err = contents(err);
    return result;
}

} // namespace zklog::test
