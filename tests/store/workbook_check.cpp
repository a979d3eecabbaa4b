#include "tests/store/workbook_check.h"

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace zklog::test {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

} // namespace

WorkbookCheck check_workbook(const std::filesystem::path& database,
                             const std::filesystem::path& workbook,
                             const std::vector<std::int64_t>& rowids) {
    // Debian's Python, which has openpyxl, whatever else the PATH offers.
    std::string command = "/usr/bin/python3 " + quoted(ZKLOG_WORKBOOK_CHECK) + " " +
                          quoted(database.string()) + " " + quoted(workbook.string());
    for (const auto rowid : rowids) {
        command += " " + std::to_string(rowid);
    }
    command += " 2>&1";
    WorkbookCheck check;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        check.output = "cannot run " + command;
        return check;
    }
    std::array<char, 4096> buffer{};
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
        check.output.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    check.ok = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return check;
}

} // namespace zklog::test
