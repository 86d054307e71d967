#pragma once

#include <QByteArray>

#include "support/manualclock.h"
#include "tools/scale-read/clock.h"

namespace scaleread::test {

// The reader's clocks on the manual clock: the calendar starts at 2026-12-07T12:00:00.000Z.
class ReaderClock : public Clock {
public:
    static constexpr std::int64_t kStart = 1'796'644'800'000;

    explicit ReaderClock(scale::test::ManualClock& clock) : m_clock(clock) {}
    std::int64_t utcMillis() const override { return kStart + m_clock.now(); }
    std::int64_t steadyMicros() const override { return m_clock.now() * 1000; }

private:
    scale::test::ManualClock& m_clock;
};

// 02, the body, its XOR as two upper-case hex digits, 03: a continuous frame or command reply.
inline QByteArray checksummed(const char* body) {
    unsigned x = 0;
    for (const char* c = body; *c != '\0'; ++c) {
        x ^= static_cast<unsigned char>(*c);
    }
    return QByteArray("\x02") + body +
           QByteArray::number(x, 16).toUpper().rightJustified(2, '0') + "\x03";
}

}  // namespace scaleread::test
