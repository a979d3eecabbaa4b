#include "tests/support/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace zklog::test {

TempDir::TempDir() {
    char pattern[] = "/tmp/zklog-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

} // namespace zklog::test
