#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/indicator-sim/micros.h"

namespace indicatorsim {

// How fast frames go out, after holding the requested rate to what the line can carry.
struct Pace {
    double framesPerSecond = 0;
    double lineLimit = 0;  // the most frames per second the line carries back to back
    bool clamped = false;  // the request was above lineLimit and has been lowered to it
};

// Frames per second that fill the line completely.
double lineFrameLimit(long baud, int bitsPerCharacter, std::size_t frameBytes);

Pace choosePace(double requestedFps, long baud, int bitsPerCharacter, std::size_t frameBytes);

// When frame `index` is due, counted from the frame with index 0 at time 0. Computed from the
// index rather than by adding intervals, so that rates like 3 per second do not drift.
Micros frameOffset(double framesPerSecond, std::int64_t index);

}  // namespace indicatorsim
