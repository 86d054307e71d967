#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "protocols/stability.h"
#include "protocols/stream/framestream.h"

namespace scaleread {

// A station's frames and whether its weight has settled: what every reader of bytes, live or
// recorded, runs them through. Stable is the indicator's own word where its frame has one, and
// measured otherwise.
class WeightStream {
public:
    WeightStream(const scale::FormatDescription& format, int stableBand, int stableMillis,
                 std::string decimalSeparator)
        : m_stream(format, std::move(decimalSeparator)), m_stability(stableBand, stableMillis) {}

    // Calls `onFrame(frame, stable, becameStable)` for each frame that ends in `bytes`, read at
    // `steadyMillis`, until it returns false. False when it was stopped so.
    template <class OnFrame>
    bool feed(std::span<const std::uint8_t> bytes, std::int64_t steadyMillis, OnFrame&& onFrame) {
        for (const std::uint8_t byte : bytes) {
            if (m_stream.push(byte, m_frame) && !deliver(steadyMillis, onFrame)) {
                return false;
            }
        }
        return !m_stream.pause(m_frame) || deliver(steadyMillis, onFrame);
    }

    // The bytes have ended for good (a recording's end): a frame still waiting for a check byte
    // is delivered without it.
    template <class OnFrame>
    void finish(std::int64_t steadyMillis, OnFrame&& onFrame) {
        if (m_stream.pause(m_frame, true)) {
            (void)deliver(steadyMillis, onFrame);
        }
    }

    // Forgets a frame in progress and the calm spell, after a gap in the bytes.
    void reset() {
        m_stream.reset();
        m_stability.reset();
        m_saidStable = false;
    }

    const scale::FormatDescription& format() const { return m_stream.format(); }

private:
    template <class OnFrame>
    bool deliver(std::int64_t steadyMillis, OnFrame& onFrame) {
        bool stable = false;
        bool became = false;
        if (m_frame.error == scale::FrameError::None) {
            if (m_frame.motion == scale::Motion::Unknown) {
                stable = m_stability.update(steadyMillis, m_frame.weight, m_frame.decimals);
                became = m_stability.becameStable();
            } else {
                stable = m_frame.motion == scale::Motion::Steady;
                // A steady weight other than the last steady one has settled too: a zero or a
                // tare, which an indicator shows at once with no motion between.
                became = stable && (!m_saidStable || m_frame.weight != m_steadyWeight);
                m_saidStable = stable;
                if (stable) {
                    m_steadyWeight = m_frame.weight;
                }
            }
        } else if (m_frame.error == scale::FrameError::Motion) {
            m_saidStable = false;
        }
        return onFrame(m_frame, stable, became);
    }

    scale::FrameStream m_stream;
    scale::StabilityTracker m_stability;
    scale::StreamFrame m_frame;
    bool m_saidStable = false;  // the indicator's word on the last reading
    double m_steadyWeight = 0;  // the last reading's weight that it called steady
};

}  // namespace scaleread
