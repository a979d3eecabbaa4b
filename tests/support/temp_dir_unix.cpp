#include "tests/support/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

namespace zklog::test {

TempDir::TempDir() {
    std::string pattern = "/tmp/zklog-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

} // namespace zklog::test
