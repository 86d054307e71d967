#include "tools/indicator-sim/indicator/weightsource.h"

#include <algorithm>

namespace indicatorsim {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
// Clang 14 does not deduce aggregate template arguments by itself.
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// The walk behaves like a load put on and taken off a platform: it heads for a target, settles
// there for a while and then heads for the next one. About one target in three lies below zero,
// so the sign changes every few dozen frames.
constexpr double kBelowZero = 0.3;
constexpr std::int64_t kShortestRest = 5;
constexpr std::int64_t kLongestRest = 40;

}  // namespace

WeightSource::WeightSource(const WeightPlan& plan)
    : m_plan(plan),
      m_random(std::holds_alternative<WalkWeight>(plan) ? std::get<WalkWeight>(plan).seed : 0) {
    if (const auto* ramp = std::get_if<RampWeight>(&m_plan)) {
        m_value = ramp->from;
    }
}

scale::IndicatorReading WeightSource::next() {
    return std::visit(Overloaded{
                          [](const FixedWeight& fixed) { return fixed.reading; },
                          [this](const RampWeight& ramp) {
                              const auto reading = readingOf(m_value, ramp.decimals);
                              advanceRamp(ramp);
                              return reading;
                          },
                          [this](const WalkWeight& walk) {
                              const auto reading = readingOf(m_value, walk.decimals);
                              advanceWalk(walk);
                              return reading;
                          },
                      },
                      m_plan);
}

void WeightSource::advanceRamp(const RampWeight& ramp) {
    if (ramp.to >= ramp.from) {
        m_value += ramp.step;
        if (m_value > ramp.to) {
            m_value = ramp.from;
        }
    } else {
        m_value -= ramp.step;
        if (m_value < ramp.to) {
            m_value = ramp.from;
        }
    }
}

void WeightSource::advanceWalk(const WalkWeight& walk) {
    if (m_value == m_target) {
        if (m_rest > 0) {
            --m_rest;
            return;
        }
        const bool below = walk.lowest > 0 && m_random.chance(kBelowZero);
        m_target = below ? -m_random.between(1, walk.lowest) : m_random.between(0, walk.highest);
        m_rest = m_random.between(kShortestRest, kLongestRest);
    }
    // A quarter of the remaining distance each frame, with some wobble, never overshooting.
    const std::int64_t gap = m_target - m_value;
    const std::int64_t distance = gap < 0 ? -gap : gap;
    const std::int64_t stride =
        std::clamp<std::int64_t>(distance / 4 + m_random.between(0, distance / 8), 1, distance);
    m_value += gap < 0 ? -stride : stride;
}

}  // namespace indicatorsim
