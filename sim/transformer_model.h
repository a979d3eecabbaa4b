// The temperatures of an oil-immersed transformer through its days: a daily load cycle, the
// ambient air, and the oil and winding warming up and cooling down with their own lag. The
// simulated relay reads its sensors from this, so its log has the shape of a real one.
#pragma once

#include "sim/random_source.h"

#include <chrono>

namespace zklog::sim {

struct TransformerReadings {
    double ambient = 0;    // °C
    double load = 0;       // per unit of the rated load
    double top_oil = 0;    // °C, where RTD1 sits
    double bottom_oil = 0; // °C, where RTD2 sits
    double winding = 0;    // °C, the hot spot
    double gradient = 0;   // winding over top oil, °C
};

class TransformerModel {
public:
    // Starts at `start` in the steady state of that hour's load.
    TransformerModel(RandomSource& rnd, std::chrono::sys_seconds start);

    // Moves the model on to `now`; while not `energised` the load is zero and it cools down.
    void advance_to(std::chrono::sys_seconds now, bool energised);

    const TransformerReadings& readings() const { return readings_; }

private:
    void new_day();
    double load_at(double hour) const;
    double ambient_at(double hour) const;

    RandomSource& rnd_;
    std::chrono::sys_seconds now_;
    long long day_ = -1;
    double day_scale_ = 1.0;    // a busy or a quiet day
    double day_ambient_ = 20.0; // the day's mean air temperature
    double oil_rise_ = 0;       // top oil over ambient, °C
    TransformerReadings readings_;
};

} // namespace zklog::sim
