#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/indicator-sim/formats/protocolframes.h"
#include "tools/indicator-sim/indicator/simrandom.h"
#include "tools/indicator-sim/micros.h"

namespace indicatorsim {

// The share of frames (0 to 1) that each fault spoils.
struct FaultRates {
    double badChecksum = 0;
    double lowercase = 0;
    double stray = 0;
    double cut = 0;
    double noise = 0;
};

// Quiet periods: after each `every` of sending, `length` without a byte.
struct Silence {
    Micros every = 0;
    Micros length = 0;

    bool covers(Micros at) const { return length > 0 && at % (every + length) >= every; }
};

// One write to the line, and the readout it should leave: a frame's text, or "-" when the bytes
// are not one intact frame.
struct Piece {
    Micros at = 0;
    std::vector<std::uint8_t> bytes;
    std::string text;
};

inline constexpr std::string_view kNoReadout = "-";

// Turns each outgoing frame into the writes that carry it, spoiling some of them.
class FaultInjector {
public:
    FaultInjector(const FaultRates& rates, Micros cutPause, std::uint64_t seed);

    // The frame's writes, in order: one for an intact frame; stray bytes go in the same write as
    // the frame they precede; a cut frame is two writes `cutPause` apart; noise is a write of its
    // own after the frame.
    std::vector<Piece> shape(Micros at, OutgoingFrame frame, bool checksummed);

    // Draws from the same sequence as the faults, for other seeded choices (dropped requests).
    bool chance(double rate) { return m_random.chance(rate); }

private:
    FaultRates m_rates;
    Micros m_cutPause;
    SimRandom m_random;
};

}  // namespace indicatorsim
