#pragma once

#include <cstdint>

namespace scaleread {

// The two clocks a reader needs: the calendar for the records' times, and a steady clock for
// stability and recordings, which must not jump with the calendar.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t utcMillis() const = 0;
    virtual std::int64_t steadyMicros() const = 0;
};

// The host's clocks.
class SystemClock : public Clock {
public:
    std::int64_t utcMillis() const override;
    std::int64_t steadyMicros() const override;
};

}  // namespace scaleread
