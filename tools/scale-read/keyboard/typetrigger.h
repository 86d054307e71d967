#pragma once

#include <cstdint>
#include <optional>

#include "protocols/stream/framestream.h"

namespace scaleread {

// When a weight is typed.
enum class TypeOn { Settle, Print, Hotkey };

struct TypeRules {
    TypeOn on = TypeOn::Settle;
    // Weights in the indicator's unit; unset: zero within 10 counts of the last digit, and the
    // least weight typed anything beyond the zero band.
    std::optional<double> zeroBand;
    std::optional<double> minWeight;
    int stableBand = 1;  // counts of the last digit, as the reading's --stable-band
    std::int64_t hotkeyWaitMillis = 2000;
};

// Decides, frame by frame, which weights of one station are typed: one value per placement.
// Under `settle` a weight is typed when it has settled at or above the least weight; the next
// only after the load was taken off (back within the zero band) or the weight settled more than
// the stable band away from the one typed. Under `print` each weight the indicator sends. Under
// `hotkey` the weight standing when the key is pressed, or the first to settle within the
// wait. Never a weight in motion. Times are the caller's steady milliseconds.
class TypeTrigger {
public:
    explicit TypeTrigger(TypeRules rules) : m_rules(rules) {}

    // A frame; what has its weight typed now (Hotkey: a press or a remote button waited for
    // it), or nothing.
    std::optional<TypeOn> frame(const scale::StreamFrame& frame, bool stable,
                                std::int64_t nowMillis);
    // The hotkey or a remote button, under any rule: true when the weight standing now is to be
    // typed (`standing` holds it); otherwise the next weight to settle within the wait is.
    bool hotkey(std::int64_t nowMillis);
    // The hotkey's wait has ended with nothing typed: true once per press, for the note.
    bool hotkeyExpired(std::int64_t nowMillis);
    // The port went or a frame without a weight came: nothing stands until the next reading.
    void unsettled() { m_standing.reset(); }

    const std::optional<scale::StreamFrame>& standing() const { return m_standing; }

private:
    bool settleRule(const scale::StreamFrame& frame, bool stable);
    // A weight typed by any trigger counts as this placement's.
    void typedNow(double weight);
    static double counts(const scale::StreamFrame& frame, double n);

    TypeRules m_rules;
    bool m_armed = true;                // the load was off since the last typed weight
    std::optional<double> m_typed;      // the weight typed last
    std::optional<scale::StreamFrame> m_standing;  // the stable weight now, for the hotkey
    std::optional<std::int64_t> m_hotkeyUntil;
};

}  // namespace scaleread
