#include "sim/transformer_model.h"

#include <cmath>
#include <numbers>

namespace zklog::sim {

namespace {

// The usual figures of a naturally cooled distribution transformer: top oil 55 K over ambient
// and the winding 22 K over the oil at rated load; losses under load five times those without.
constexpr double kRatedOilRise = 55.0;
constexpr double kRatedGradient = 22.0;
constexpr double kLossRatio = 5.0;
constexpr double kOilExponent = 0.8;
constexpr double kWindingExponent = 1.6;
// The oil takes hours to follow the load, the winding minutes.
constexpr double kOilMinutes = 150.0;
constexpr double kWindingMinutes = 10.0;
// How far the bottom of the tank sits between the air and the top oil.
constexpr double kBottomShare = 0.55;

double ultimate_oil_rise(double load) {
    return kRatedOilRise *
           std::pow((load * load * kLossRatio + 1.0) / (kLossRatio + 1.0), kOilExponent);
}

double bump(double hour, double centre, double width) {
    const double d = (hour - centre) / width;
    return std::exp(-0.5 * d * d);
}

double hour_of_day(std::chrono::sys_seconds t) {
    const auto since_midnight = t - std::chrono::floor<std::chrono::days>(t);
    return static_cast<double>(since_midnight.count()) / 3600.0;
}

long long day_number(std::chrono::sys_seconds t) {
    return std::chrono::floor<std::chrono::days>(t).time_since_epoch().count();
}

} // namespace

TransformerModel::TransformerModel(RandomSource& rnd, std::chrono::sys_seconds start)
    : rnd_(rnd), now_(start) {
    new_day();
    const double hour = hour_of_day(start);
    readings_.load = load_at(hour);
    oil_rise_ = ultimate_oil_rise(readings_.load);
    readings_.gradient = kRatedGradient * std::pow(readings_.load, kWindingExponent);
    advance_to(start, true);
}

void TransformerModel::new_day() {
    // Percent steps keep the draws integer, so a seed gives the same days everywhere.
    day_scale_ = static_cast<double>(rnd_.between(85, 132)) / 100.0;
    day_ambient_ = static_cast<double>(rnd_.between(180, 300)) / 10.0;
}

// A feeder's day: low at night, a morning plateau and the evening peak.
double TransformerModel::load_at(double hour) const {
    return day_scale_ * (0.48 + 0.30 * bump(hour, 11.0, 2.5) + 0.55 * bump(hour, 19.5, 2.0));
}

// Coolest before dawn, warmest mid-afternoon.
double TransformerModel::ambient_at(double hour) const {
    return day_ambient_ + 5.0 * std::sin(2.0 * std::numbers::pi * (hour - 9.0) / 24.0);
}

void TransformerModel::advance_to(std::chrono::sys_seconds now, bool energised) {
    const double minutes = static_cast<double>((now - now_).count()) / 60.0;
    now_ = now;
    if (day_number(now) != day_) {
        if (day_ >= 0) {
            new_day();
        }
        day_ = day_number(now);
    }
    const double hour = hour_of_day(now);
    const double jitter = static_cast<double>(rnd_.between(-30, 30)) / 1000.0;
    const double load = energised ? std::max(0.0, load_at(hour) + jitter) : 0.0;
    const double oil_target = energised ? ultimate_oil_rise(load) : 0.0;
    const double gradient_target = kRatedGradient * std::pow(load, kWindingExponent);
    oil_rise_ += (oil_target - oil_rise_) * (1.0 - std::exp(-minutes / kOilMinutes));
    readings_.gradient +=
        (gradient_target - readings_.gradient) * (1.0 - std::exp(-minutes / kWindingMinutes));
    readings_.load = load;
    readings_.ambient = ambient_at(hour);
    readings_.top_oil = readings_.ambient + oil_rise_;
    readings_.bottom_oil = readings_.ambient + kBottomShare * oil_rise_;
    readings_.winding = readings_.top_oil + readings_.gradient;
}

} // namespace zklog::sim
