// Cost of saving one downloaded row: add_new(), the fields a download sets, update() - one
// committed transaction each - on a database file under /tmp that grows as a download's does.
#include "bench/decoded_rows.h"
#include "store/log_database.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zklog-bench-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::system_error(errno, std::generic_category(), "mkdtemp");
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void save_row(benchmark::State& state) {
    // About as many records as a full memory holds, so the file ends a download's size.
    static const auto rows = zklog::bench::decoded_rows(900, 1);
    ScratchFolder folder;
    const auto file = folder.path() / "LOG_ZKA_ZKB.db";
    zklog::store::create_database(file);
    zklog::store::LogDatabase database(file);

    std::size_t next = 0;
    for (auto _ : state) {
        zklog::store::LogRow& row = database.add_new();
        for (const auto& [name, value] : rows[next]) {
            row.set(name, value);
        }
        database.update();
        next = next + 1 == rows.size() ? 0 : next + 1;
    }
    state.SetItemsProcessed(state.iterations());
}

// A fresh file for every repetition; the spread of the repetitions shows the machine's noise.
BENCHMARK(save_row)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(3000)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", [](const std::vector<double>& v) {
        return *std::min_element(v.begin(), v.end());
    });

} // namespace

BENCHMARK_MAIN();
