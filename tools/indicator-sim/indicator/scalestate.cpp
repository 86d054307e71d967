#include "tools/indicator-sim/indicator/scalestate.h"

namespace indicatorsim {

ScaleState::ScaleState(std::optional<DecimalValue> capacity) : m_capacity(capacity) {}

void ScaleState::follow(const scale::IndicatorReading& planned) {
    const std::int64_t units = planned.negative ? -static_cast<std::int64_t>(planned.digits)
                                                : static_cast<std::int64_t>(planned.digits);
    m_motion = m_started && units != m_planned;
    m_started = true;
    m_planned = units;
    m_decimals = planned.decimals;
}

bool ScaleState::zero() {
    if (state().overCapacity) {
        return false;
    }
    m_zero = m_planned;
    return true;
}

bool ScaleState::tare() {
    const IndicatorState now = state();
    if (now.overCapacity) {
        return false;
    }
    m_tare = now.gross;
    m_net = true;
    return true;
}

void ScaleState::clearTare() {
    m_tare = 0;
    m_net = false;
}

IndicatorState ScaleState::state() const {
    IndicatorState state;
    state.gross = m_planned - m_zero;
    state.tare = m_tare;
    state.net = m_net;
    state.shown = m_net ? state.gross - m_tare : state.gross;
    state.decimals = m_decimals;
    state.motion = m_motion;
    if (m_capacity) {
        const DecimalValue capacity = withDecimals(*m_capacity, m_decimals);
        state.overCapacity = state.gross > static_cast<std::int64_t>(capacity.units);
        state.underCapacity = state.gross < -static_cast<std::int64_t>(capacity.units);
    }
    return state;
}

}  // namespace indicatorsim
