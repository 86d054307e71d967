#include "tools/indicator-sim/formats/protocolframes.h"

#include <algorithm>

#include "protocols/formats/registry.h"

namespace indicatorsim {
namespace {

// The registry's unit of a window mode; the enum lists them in the modes' order.
const scale::ReadingFrames* readingFramesOf(Protocol protocol) {
    const auto units = scale::formatUnits();
    const auto unit = std::ranges::find_if(units, [protocol](const scale::FormatUnit* candidate) {
        return candidate->format.windowMode == static_cast<int>(protocol);
    });
    return protocol == Protocol::Format || unit == units.end() ? nullptr : &(*unit)->reading;
}

}  // namespace

OutgoingFrame makeFrame(Protocol protocol, const scale::IndicatorReading& reading) {
    const scale::ReadingFrames* frames = readingFramesOf(protocol);
    if (!frames) {
        return {};
    }
    const std::string bytes = frames->encode(reading);
    return {{bytes.begin(), bytes.end()}, frames->readout(reading)};
}

std::size_t frameLength(Protocol protocol) {
    const scale::ReadingFrames* frames = readingFramesOf(protocol);
    return frames ? frames->frameLength : 0;
}

bool hasChecksum(Protocol protocol) {
    const scale::ReadingFrames* frames = readingFramesOf(protocol);
    return frames && frames->checksum;
}

bool readingFits(Protocol protocol, const scale::IndicatorReading& reading,
                 const SpokenFormat* format) {
    if (protocol == Protocol::Format && format) {
        return reading.digits <= 999999u &&
               scale::fitsField(*format, reading.digits, reading.decimals);
    }
    const scale::ReadingFrames* frames = readingFramesOf(protocol);
    return frames ? frames->fits(reading) : reading.digits <= 999999u;
}

}  // namespace indicatorsim
