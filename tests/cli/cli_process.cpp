#include "tests/cli/cli_process.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

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

CliResult run_cli(const TempDir& dir, const std::vector<std::string>& args,
                  const std::filesystem::path& program) {
    std::string command = shell_quoted(program.string());
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

CliChild::CliChild(const TempDir& dir, const std::vector<std::string>& args,
                   const std::string& name)
    : out_(dir.file(name + ".out")), err_(dir.file(name + ".err")) {
    std::vector<std::string> argv_text{ZKLOG_CLI_PATH};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : argv_text) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(ZKLOG_CLI_PATH, argv.data());
        _exit(127);
    }
}

CliChild::~CliChild() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        (void)wait();
    }
}

CliResult CliChild::wait() {
    CliResult result;
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) {
        result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_ = -1;
    result.out = contents(out_);
    result.err = contents(err_);
    return result;
}

} // namespace zklog::test
