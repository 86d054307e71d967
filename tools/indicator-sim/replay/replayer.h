#pragma once

#include <cstddef>

#include "tools/indicator-sim/line/linedriver.h"
#include "tools/indicator-sim/replay/replayschedule.h"

namespace indicatorsim {

// Plays a recording back: each read's bytes in one write, at its recorded time divided by
// `speed`. What arrives from the line is only logged.
class Replayer : public LineDriver {
public:
    Replayer(ReplaySchedule schedule, double speed);

    std::optional<Micros> nextDue() const override;
    std::vector<SimOutput> due(Micros now) override;
    std::vector<SimOutput> received(Micros now, std::span<const std::uint8_t> bytes) override;
    bool finished() const override { return m_next == m_schedule.size(); }

private:
    Micros dueAt(std::size_t index) const;

    ReplaySchedule m_schedule;
    double m_speed;
    std::size_t m_next = 0;
};

}  // namespace indicatorsim
