// Continuous frames: capture and decoding of arbitrary chunks, and encoder against decoder.

#include <cstddef>
#include <cstdint>

#include "fuzz/checks/readingfrom.h"
#include "fuzz/checks/weightframecheck.h"
#include "protocols/formats/continuous/continuousframe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace scale;
    fuzz::FuzzInput input(data, size);
    const IndicatorReading reading = fuzz::readingFrom(input);
    fuzz::checkWeightRoundTrip(encodeContinuousFrame(reading), reading, kContinuousLayout);
    fuzz::checkWeightChunks(input, kContinuousLayout);
    return 0;
}
