// Whatever a bad line and a busy relay do, a saved row is the relay's record: for many seeds of
// zklog-sim's random line (replies late, twice, after noise, with a bad CRC, cut short or not
// at all), a download either completes with every row exactly the record it stands for, or ends
// with its failure message and rows that are an exact prefix of the records.
#include "sim/fault_plan.h"
#include "sim/record_generator.h"
#include "sim/request_trace.h"
#include "tests/download/soak_download.h"
#include "tests/support/chaos_line.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <string>

namespace zklog::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRecords = 12;
// Downloads under way at once: each mostly waits out timeouts.
constexpr unsigned kSideBySide = 12;

class ChaosSoak : public ::testing::TestWithParam<SoakMode> {
protected:
    ChaosSoak() {
        records_ = sim::generate_records(image_, kRecords, 77);
        image_file_ = write_image_file(dir_, image_);
    }

    // One download on a fresh file against the line of `seed`; several go on at once.
    void soak(std::uint32_t seed) {
        const auto db = dir_.file("seed" + std::to_string(seed) + ".db");
        const auto trace = dir_.file("seed" + std::to_string(seed) + ".trace");
        std::vector<std::string> options{"--trace", trace.string()};
        const auto chaos = chaos_options(seed, chaos_percent(seed));
        options.insert(options.end(), chaos.begin(), chaos.end());
        const auto outcome = soak_download(db, image_file_, records_, GetParam(), options);
        const auto requests = sim::read_trace(trace);
        const std::scoped_lock lock(tally_);
        longest_ = std::max(longest_, outcome.took);
        completed_ += outcome.completed ? 1 : 0;
        count_faults(seed, requests);
    }

    // The faults the seed's line gave the requests this run made, drawn again as zklog-sim drew
    // them: the soak says what it covered.
    void count_faults(std::uint32_t seed, const std::vector<sim::TraceEntry>& requests) {
        sim::FaultPlan plan;
        plan.chaos_seed = seed;
        plan.chaos_percent = chaos_percent(seed);
        plan.late_delay = std::chrono::milliseconds(kSoakLateMs);
        sim::FaultState line(plan);
        for (const auto& request : requests) {
            const auto d = line.decide(request.request, 0x03, 2000);
            if (HasFailure()) {
                // The line as it was, for whoever looks into the failure.
                std::printf("request %llu: %u words at %u%s%s%s%s%s%s late %lld ms\n",
                            static_cast<unsigned long long>(request.request), request.count,
                            request.first_register, d.answer ? "" : " silent",
                            d.twice ? " twice" : "", d.noise_before ? " noise" : "",
                            d.corrupt ? " corrupt" : "", d.truncated ? " cut" : "",
                            request.count > 0 ? "" : "",
                            static_cast<long long>(d.extra_delay.count()));
            }
            faults_["late"] += d.extra_delay > std::chrono::milliseconds::zero() ? 1 : 0;
            faults_["twice"] += d.twice ? 1 : 0;
            faults_["noise"] += d.noise_before ? 1 : 0;
            faults_["corrupt"] += d.corrupt ? 1 : 0;
            faults_["cut short"] += d.truncated ? 1 : 0;
            faults_["silent"] += d.answer ? 0 : 1;
        }
        requests_ += requests.size();
    }

    TempDir dir_;
    sim::RelayImage image_;
    std::vector<sim::GeneratedRecord> records_;
    std::string image_file_;
    std::mutex tally_; // of what follows
    std::map<std::string, int> faults_;
    std::size_t requests_ = 0;
    int completed_ = 0;
    Clock::duration longest_{};
};

TEST_P(ChaosSoak, EverySavedRowIsTheRelaysRecord) {
    const int seeds = soak_seeds();
    side_by_side(static_cast<std::size_t>(seeds), kSideBySide, [this](std::size_t i) {
        const auto seed = static_cast<std::uint32_t>(i + 1);
        SCOPED_TRACE("zklog-sim --chaos " + std::to_string(seed));
        soak(seed);
    });
    std::string summary = std::to_string(seeds) + " seeds, " + std::to_string(completed_) +
                          " completed, " + std::to_string(requests_) + " requests;";
    for (const auto& [kind, count] : faults_) {
        summary += " " + kind + " " + std::to_string(count);
        RecordProperty(kind, count);
    }
    summary +=
        "; longest run " +
        std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(longest_).count()) +
        " ms";
    RecordProperty("summary", summary);
    std::printf("%s\n", summary.c_str());
    EXPECT_GT(completed_, 0) << "no seed let a download complete: the soak checks too little";
}

INSTANTIATE_TEST_SUITE_P(Modes, ChaosSoak,
                         ::testing::Values(SoakMode::RecordByRecord, SoakMode::Fast),
                         [](const auto& info) {
                             return info.param == SoakMode::Fast ? "Fast" : "RecordByRecord";
                         });

} // namespace
} // namespace zklog::test
