#include "tools/indicator-sim/replay/replayer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "tools/indicator-sim/eventlog.h"
#include "tools/indicator-sim/formats/framereadout.h"

namespace indicatorsim {
namespace {

// Some three thousand years: a slow replay of a long recording stays far from overflowing.
constexpr double kLatest = 1e17;

}  // namespace

Replayer::Replayer(ReplaySchedule schedule, double speed)
    : m_schedule(std::move(schedule)), m_speed(speed) {}

Micros Replayer::dueAt(std::size_t index) const {
    const double at = std::round(static_cast<double>(m_schedule.at(index)) / m_speed);
    return static_cast<Micros>(std::min(at, kLatest));
}

std::optional<Micros> Replayer::nextDue() const {
    if (finished()) {
        return std::nullopt;
    }
    return dueAt(m_next);
}

std::vector<SimOutput> Replayer::due(Micros now) {
    std::vector<SimOutput> outputs;
    for (; !finished() && dueAt(m_next) <= now; ++m_next) {
        const std::span<const std::uint8_t> bytes = m_schedule.bytes(m_next);
        outputs.push_back({{bytes.begin(), bytes.end()}, txLine(now, bytes, frameReadout(bytes))});
    }
    return outputs;
}

std::vector<SimOutput> Replayer::received(Micros now, std::span<const std::uint8_t> bytes) {
    return {{{}, rxLine(now, bytes)}};
}

}  // namespace indicatorsim
