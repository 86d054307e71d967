#pragma once

#include <cstdint>

#include "protocols/formats/indicatorreading.h"
#include "tools/indicator-sim/indicator/simrandom.h"
#include "tools/indicator-sim/indicator/weightplan.h"

namespace indicatorsim {

// Gives the reading for each frame in turn, following a weight plan.
class WeightSource {
public:
    explicit WeightSource(const WeightPlan& plan);

    scale::IndicatorReading next();

private:
    void advanceRamp(const RampWeight& ramp);
    void advanceWalk(const WalkWeight& walk);

    WeightPlan m_plan;
    std::int64_t m_value = 0;
    // The walk: where it is heading, and how many more frames it rests once there.
    std::int64_t m_target = 0;
    std::int64_t m_rest = 0;
    SimRandom m_random;
};

}  // namespace indicatorsim
