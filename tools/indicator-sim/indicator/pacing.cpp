#include "tools/indicator-sim/indicator/pacing.h"

#include <cmath>

namespace indicatorsim {

double lineFrameLimit(long baud, int bitsPerCharacter, std::size_t frameBytes) {
    return static_cast<double>(baud) /
           (static_cast<double>(bitsPerCharacter) * static_cast<double>(frameBytes));
}

Pace choosePace(double requestedFps, long baud, int bitsPerCharacter, std::size_t frameBytes) {
    Pace pace;
    pace.lineLimit = lineFrameLimit(baud, bitsPerCharacter, frameBytes);
    pace.clamped = requestedFps > pace.lineLimit;
    pace.framesPerSecond = pace.clamped ? pace.lineLimit : requestedFps;
    return pace;
}

Micros frameOffset(double framesPerSecond, std::int64_t index) {
    return std::llround(static_cast<double>(index) * 1e6 / framesPerSecond);
}

}  // namespace indicatorsim
