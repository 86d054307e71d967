#include "tools/scale-read/keyboard/typetrigger.h"

#include <cmath>

namespace scaleread {

double TypeTrigger::counts(const scale::StreamFrame& frame, double n) {
    // Half a count more, so that a band of 10 counts holds 10 counts whatever the rounding.
    return (n + 0.5) * std::pow(10.0, -frame.decimals);
}

std::optional<TypeOn> TypeTrigger::frame(const scale::StreamFrame& frame, bool stable,
                                         std::int64_t nowMillis) {
    const bool reading = frame.error == scale::FrameError::None;
    const bool moving = !reading || frame.motion == scale::Motion::Moving;
    if (!moving && stable) {
        m_standing = frame;
        m_standing->raw = {};  // the frame's bytes are not ours to keep
    } else {
        m_standing.reset();
    }
    if (m_hotkeyUntil && m_standing && nowMillis <= *m_hotkeyUntil) {
        m_hotkeyUntil.reset();
        typedNow(frame.weight);
        return TypeOn::Hotkey;
    }
    switch (m_rules.on) {
        case TypeOn::Print:
            return moving ? std::nullopt : std::optional(TypeOn::Print);
        case TypeOn::Hotkey:
            return std::nullopt;
        case TypeOn::Settle:
            return !moving && settleRule(frame, stable) ? std::optional(TypeOn::Settle)
                                                        : std::nullopt;
    }
    return std::nullopt;
}

void TypeTrigger::typedNow(double weight) {
    m_armed = false;
    m_typed = weight;
}

bool TypeTrigger::settleRule(const scale::StreamFrame& frame, bool stable) {
    const double zero = m_rules.zeroBand ? *m_rules.zeroBand : counts(frame, 10);
    if (std::fabs(frame.weight) <= zero) {
        m_armed = true;
        return false;
    }
    if (!stable) {
        return false;
    }
    const bool heavyEnough =
        m_rules.minWeight ? frame.weight >= *m_rules.minWeight : frame.weight > zero;
    const bool another =
        m_typed && std::fabs(frame.weight - *m_typed) > counts(frame, m_rules.stableBand);
    if (!heavyEnough || !(m_armed || another)) {
        return false;
    }
    typedNow(frame.weight);
    return true;
}

bool TypeTrigger::hotkey(std::int64_t nowMillis) {
    if (m_standing) {
        m_hotkeyUntil.reset();
        typedNow(m_standing->weight);
        return true;
    }
    m_hotkeyUntil = nowMillis + m_rules.hotkeyWaitMillis;
    return false;
}

bool TypeTrigger::hotkeyExpired(std::int64_t nowMillis) {
    if (m_hotkeyUntil && nowMillis > *m_hotkeyUntil) {
        m_hotkeyUntil.reset();
        return true;
    }
    return false;
}

}  // namespace scaleread
