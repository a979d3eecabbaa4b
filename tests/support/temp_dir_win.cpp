// A fresh folder under Windows' temporary folder; MinGW has no mkdtemp().
#include "tests/support/temp_dir.h"

#include <random>
#include <string>
#include <system_error>

namespace zklog::test {

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 names(seed());
    const auto base = std::filesystem::temp_directory_path();
    // create_directory() is false for a folder that exists: a name taken by another test.
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("zklog-test-" + std::to_string(names()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = std::move(candidate);
            return;
        }
    }
    throw std::system_error(std::make_error_code(std::errc::file_exists), "TempDir");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

} // namespace zklog::test
