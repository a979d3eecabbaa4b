#include "sim/believable_log.h"

#include "sim/random_source.h"
#include "sim/transformer_model.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

namespace zklog::sim {

namespace {

using std::chrono::sys_seconds;

// The relay looks at its inputs this often; events are stamped within the step they fall in.
constexpr std::chrono::minutes kStep{2};
// The relay writes an entry at every full hour whatever happens ("Tempo LOG Atingido").
constexpr std::chrono::hours kLogInterval{1};
// About one power cut every four days, and one sensor fault every four days and a bit.
constexpr int kStepsPerOutage = 2880;
constexpr int kStepsPerFault = 3000;
constexpr std::uint8_t kAllBlocks = kMapZka | kMapZkb | kMapWpx;

// One channel's readings as the relay stores them, and what it decided from them.
struct ChannelReadings {
    int rtd_a = 0, rtd_b = 0, winding_a = 0, winding_b = 0; // tenths
    int tc_a = 0, tc_b = 0;                                 // hundredths
    std::uint16_t errors = 0;
    std::uint8_t relays = 0;
};

struct SensorFault {
    int channel;
    std::uint16_t bit;
    sys_seconds ends;
};

// The sensors that fail now and then: RTD1, RTD2 and TC1 of the first channel, RTD3, RTD4,
// TC3 and TC4 of the second (named on it by the same flags as RTD1, RTD2, TC1 and TC2).
constexpr std::array<std::pair<int, std::uint16_t>, 7> kFallibleSensors{{
    {0, kErrorRtd1},
    {0, kErrorRtd2},
    {0, kErrorTc1},
    {1, kErrorRtd1},
    {1, kErrorRtd2},
    {1, kErrorTc1},
    {1, kErrorTc2},
}};

int tenths(double value) {
    return static_cast<int>(std::lround(value * 10.0));
}

int hundredths(double value) {
    return static_cast<int>(std::lround(value * 100.0));
}

class LogWriter {
public:
    LogWriter(std::uint32_t seed, sys_seconds start)
        : rnd_(seed), now_(start), model_(rnd_, start) {
        second_channel_oil_ = static_cast<double>(rnd_.between(-20, 30)) / 10.0;
        second_channel_bottom_ = static_cast<double>(rnd_.between(-15, 25)) / 10.0;
        for (auto& bias : differential_bias_) {
            bias = static_cast<double>(rnd_.between(-10, 10)) / 10.0;
        }
    }

    // The next entry the relay writes, in time order.
    GeneratedRecord next() {
        for (;;) {
            if (auto record = step()) {
                return *record;
            }
        }
    }

private:
    std::optional<GeneratedRecord> step() {
        const bool first = first_;
        first_ = false;
        if (!first) {
            now_ += kStep;
        }
        if (!powered_) {
            model_.advance_to(now_, false);
            if (now_ < power_back_) {
                return std::nullopt;
            }
            powered_ = true;
            powering_up_ = true;
        } else if (!first && rnd_.chance(1, kStepsPerOutage)) {
            powered_ = false;
            power_back_ = now_ + std::chrono::minutes(rnd_.between(30, 600));
            model_.advance_to(now_, false);
            return std::nullopt;
        }
        model_.advance_to(now_, true);
        const bool errors_changed = update_faults();
        const bool fresh = first || powering_up_;
        std::array<ChannelReadings, 2> channels{read_channel(0), read_channel(1)};
        bool dropped_out = false;
        for (std::size_t c = 0; c < channels.size(); ++c) {
            channels[c].relays = decide_relays(channels[c], fresh ? 0 : relays_[c], fresh);
            dropped_out =
                dropped_out ||
                (!fresh &&
                 (relays_[c] & ~channels[c].relays & ~(1u << (kFaultAlarmRelay - 1))) != 0 &&
                 !errors_changed);
        }
        const bool relays_changed =
            channels[0].relays != relays_[0] || channels[1].relays != relays_[1];
        const bool on_the_hour = (now_.time_since_epoch() % kLogInterval).count() == 0;

        std::uint8_t cause = 0;
        cause |= on_the_hour ? kCauseLogTime : 0;
        cause |= fresh ? kCausePowerUp : 0;
        cause |= dropped_out ? kCauseHysteresis : 0;
        cause |= errors_changed && !fresh ? kCauseErrorChange : 0;
        cause |= relays_changed && !fresh ? kCauseRelayChange : 0;
        powering_up_ = false;
        relays_ = {channels[0].relays, channels[1].relays};
        if (cause == 0) {
            return std::nullopt;
        }
        // An event falls anywhere in the step; the hourly entry is on the hour itself.
        const sys_seconds stamp =
            on_the_hour || fresh ? now_ : now_ - std::chrono::seconds(rnd_.between(0, 110));
        return make_record(stamp, cause, channels);
    }

    // Ends the faults whose time is up and now and then starts one; true when a flag changed.
    bool update_faults() {
        const auto before = faults_.size();
        std::erase_if(faults_, [this](const SensorFault& f) { return f.ends <= now_; });
        bool changed = faults_.size() != before;
        if (rnd_.chance(1, kStepsPerFault)) {
            const auto [channel, bit] = kFallibleSensors[static_cast<std::size_t>(
                rnd_.between(0, kFallibleSensors.size() - 1))];
            if (!faulty(channel, bit)) {
                faults_.push_back(
                    {channel, bit, now_ + std::chrono::minutes(rnd_.between(20, 360))});
                changed = true;
            }
        }
        return changed;
    }

    bool faulty(int channel, std::uint16_t bit) const {
        return std::any_of(faults_.begin(), faults_.end(), [&](const SensorFault& f) {
            return f.channel == channel && f.bit == bit;
        });
    }

    double noise() { return static_cast<double>(rnd_.between(-2, 2)) / 10.0; }

    ChannelReadings read_channel(int channel) {
        const TransformerReadings& t = model_.readings();
        const double oil = t.top_oil + (channel == 1 ? second_channel_oil_ : 0.0);
        const double bottom = t.bottom_oil + (channel == 1 ? second_channel_bottom_ : 0.0);
        ChannelReadings r;
        r.rtd_a = tenths(oil + noise());
        r.rtd_b = tenths(bottom + noise());
        r.winding_a = tenths(oil + t.gradient * (channel == 1 ? 1.04 : 1.0) + noise());
        r.winding_b = tenths(oil + t.gradient * 0.93 + noise());
        r.tc_a = hundredths(oil + 0.85 * t.gradient + noise());
        r.tc_b = hundredths(bottom + 0.9 * t.gradient + noise());
        for (const SensorFault& f : faults_) {
            if (f.channel == channel) {
                r.errors |= f.bit;
            }
        }
        return r;
    }

    static std::uint8_t decide_relays(const ChannelReadings& r, std::uint8_t before, bool fresh) {
        std::uint8_t relays = 0;
        for (const RelayRule& rule : kRelayRules) {
            const auto bit = static_cast<std::uint8_t>(1u << (rule.relay - 1));
            int value = r.winding_a;
            bool sensor_faulty = false;
            if (rule.reading == WatchedReading::TopOil) {
                value = r.rtd_a;
                sensor_faulty = (r.errors & kErrorRtd1) != 0;
            } else if (rule.reading == WatchedReading::BottomOil) {
                value = r.rtd_b;
                sensor_faulty = (r.errors & kErrorRtd2) != 0;
            }
            const bool was_on = !fresh && (before & bit) != 0;
            const bool on =
                !sensor_faulty && (value >= rule.on_tenths || (was_on && value >= rule.off_tenths));
            relays |= on ? bit : 0;
        }
        if (r.errors != 0) {
            relays |= static_cast<std::uint8_t>(1u << (kFaultAlarmRelay - 1));
        }
        return relays;
    }

    GeneratedRecord make_record(sys_seconds stamp, std::uint8_t cause,
                                const std::array<ChannelReadings, 2>& channels) {
        GeneratedRecord r;
        const auto day = std::chrono::floor<std::chrono::days>(stamp);
        const std::chrono::year_month_day date{day};
        const std::chrono::hh_mm_ss time{stamp - day};
        r.day = static_cast<int>(static_cast<unsigned>(date.day()));
        r.month = static_cast<int>(static_cast<unsigned>(date.month()));
        r.year = static_cast<int>(date.year()) % 100;
        r.hour = static_cast<int>(time.hours().count());
        r.minute = static_cast<int>(time.minutes().count());
        r.second = static_cast<int>(time.seconds().count());
        r.cause = cause;
        r.maps = kAllBlocks;

        const ChannelReadings& one = channels[0];
        r.relays = one.relays;
        r.errors = one.errors;
        r.rtd1 = static_cast<std::int16_t>(one.rtd_a);
        r.rtd2 = static_cast<std::int16_t>(one.rtd_b);
        r.enrolamento = static_cast<std::int16_t>(one.winding_a);
        r.tc1 = static_cast<std::uint16_t>(one.tc_a);
        if ((one.errors & kErrorRtd1) != 0) {
            r.rtd1 = static_cast<std::int16_t>(kRtdFaultWord);
        }
        if ((one.errors & kErrorRtd2) != 0) {
            r.rtd2 = static_cast<std::int16_t>(kRtdFaultWord);
        }
        if ((one.errors & kErrorTc1) != 0) {
            r.tc1 = kTcFaultWord;
        }

        const ChannelReadings& two = channels[1];
        r.relays2 = two.relays;
        r.errors2 = two.errors;
        r.rtd3 = static_cast<std::int16_t>(
            (two.errors & kErrorRtd1) != 0 ? kRtdFaultWord : static_cast<std::uint16_t>(two.rtd_a));
        r.rtd4 = static_cast<std::int16_t>(
            (two.errors & kErrorRtd2) != 0 ? kRtdFaultWord : static_cast<std::uint16_t>(two.rtd_b));
        r.enrolamento2 = static_cast<std::int16_t>(two.winding_a);
        r.enrolamento3 = static_cast<std::int16_t>(two.winding_b);
        r.tc3 = (two.errors & kErrorTc1) != 0 ? kTcFaultWord : static_cast<std::uint16_t>(two.tc_a);
        r.tc4 = (two.errors & kErrorTc2) != 0 ? kTcFaultWord : static_cast<std::uint16_t>(two.tc_b);

        // The differential readings stay within a few tenths, a little wider under load; the
        // filtered ones follow the instantaneous ones entry by entry.
        const double load = model_.readings().load;
        for (std::size_t i = 0; i < 3; ++i) {
            const double instant = differential_bias_[i] * 1.2 * load +
                                   static_cast<double>(rnd_.between(-5, 5)) / 10.0;
            filtered_[i] += 0.3 * (instant - filtered_[i]);
            r.dif[i] = static_cast<std::int16_t>(tenths(instant));
            r.dif[i + 3] = static_cast<std::int16_t>(tenths(filtered_[i]));
        }
        return r;
    }

    RandomSource rnd_;
    sys_seconds now_;
    TransformerModel model_;
    bool first_ = true;
    bool powered_ = true;
    bool powering_up_ = false;
    sys_seconds power_back_{};
    std::vector<SensorFault> faults_;
    std::array<std::uint8_t, 2> relays_{};
    double second_channel_oil_ = 0;
    double second_channel_bottom_ = 0;
    std::array<double, 3> differential_bias_{};
    std::array<double, 3> filtered_{};
};

// A seeded midnight between 2023 and 2025.
sys_seconds first_midnight(std::uint32_t seed) {
    RandomSource rnd(seed ^ 0x5EEDu);
    const std::chrono::year_month_day day{
        std::chrono::year(static_cast<int>(rnd.between(2023, 2025))),
        std::chrono::month(static_cast<unsigned>(rnd.between(1, 12))),
        std::chrono::day(static_cast<unsigned>(rnd.between(1, 28)))};
    return std::chrono::sys_days(day);
}

} // namespace

std::vector<GeneratedRecord> generate_believable_log(RelayImage& image, int count,
                                                     std::uint32_t seed, LogLayout layout) {
    const int newest = std::clamp(count, 0, kBelievableCapacity);
    const int total = layout == LogLayout::Wrapped && newest > 0 ? kBelievableCapacity : newest;
    LogWriter writer(seed, first_midnight(seed));
    std::vector<GeneratedRecord> in_time;
    in_time.reserve(static_cast<std::size_t>(total));
    for (int i = 0; i < total; ++i) {
        in_time.push_back(writer.next());
    }
    // Memory order: the newest records from the start of the log, the older lap after them.
    std::rotate(in_time.begin(), in_time.end() - newest, in_time.end());
    std::uint32_t start = RelayImage::kLogStart;
    for (GeneratedRecord& r : in_time) {
        r.start = start;
        auto words = record_words(r);
        const std::uint32_t next = put_record(image, start, words);
        r.checksum = image.word(next - 1);
        words.push_back(r.checksum);
        r.words = std::move(words);
        start = next;
    }
    if (newest > 0) {
        const auto& last = in_time[static_cast<std::size_t>(newest - 1)];
        image.set_pointer(static_cast<std::uint16_t>(last.start - RelayImage::kLogStart));
    }
    return in_time;
}

} // namespace zklog::sim
