#pragma once

#include <cstdint>
#include <optional>

#include "protocols/formats/indicatorreading.h"
#include "tools/indicator-sim/indicator/decimalvalue.h"
#include "tools/indicator-sim/indicator/indicatorstate.h"

namespace indicatorsim {

// The platform and its keys: the planned load, and what zero and tare make of it. The planned
// weight is the load; zero moves the point it is counted from, tare switches to net.
class ScaleState {
public:
    explicit ScaleState(std::optional<DecimalValue> capacity);

    // The load now, the next weight of the plan. The scale is in motion while it differs from
    // the one before.
    void follow(const scale::IndicatorReading& planned);

    // Each returns whether it was carried out: zero and tare are refused over capacity.
    bool zero();
    bool tare();
    void clearTare();

    IndicatorState state() const;

private:
    std::optional<DecimalValue> m_capacity;
    bool m_started = false;
    std::int64_t m_planned = 0;
    int m_decimals = 0;
    bool m_motion = false;
    std::int64_t m_zero = 0;  // the planned weight that shows as zero gross
    std::int64_t m_tare = 0;
    bool m_net = false;
};

}  // namespace indicatorsim
