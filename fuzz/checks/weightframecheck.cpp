#include "fuzz/checks/weightframecheck.h"

#include <string>

#include "fuzz/checks/fuzzcheck.h"
#include "fuzz/checks/guardedframe.h"
#include "fuzz/checks/readingfrom.h"
#include "protocols/numbertext.h"

namespace scale::fuzz {
namespace {

bool carriesChecksum(const RxFrameBytes& rx, const WeightFrameLayout& layout) {
    const std::uint8_t x = xorChecksum(std::span(rx).subspan(1, layout.checksumLast));
    return rx[layout.checksumHigh] == hexDigitCode(x >> 4u) &&
           rx[layout.checksumHigh + 1] == hexDigitCode(x & 0x0Fu);
}

}  // namespace

void checkWeightRoundTrip(std::span<const std::uint8_t> frame, const IndicatorReading& reading,
                          const WeightFrameLayout& layout) {
    GuardedFrame rx;
    double weight = -1;
    const DecodeResult result = decodeWeightFrame(frame, layout, rx.frame(), weight);
    rx.check();
    require(result.frameSeen && result.readout == ReadoutUpdate::Weighing,
            "an encoded reading is shown");
    const std::string caption = (result.signStep ? "-" : "") + result.weightText;
    require(caption == readingText(reading), "the caption is the encoded reading's text");
    require(weight == magnitudeOf(reading), "the weight value is the reading's magnitude");
}

void checkWeightChunks(FuzzInput& input, const WeightFrameLayout& layout) {
    GuardedFrame rx(input.bytes(31));
    double weight = 0;
    while (!input.empty()) {
        const auto chunk = input.bytes(input.byte());
        const DecodeResult result = decodeWeightFrame(chunk, layout, rx.frame(), weight);
        rx.check();
        if (!result.frameSeen) {
            require(result.readout == ReadoutUpdate::Waiting, "only an accepted frame is shown");
            continue;
        }
        require(result.capture.complete && !result.capture.failed, "an accepted frame is complete");
        require(carriesChecksum(rx.frame(), layout), "an accepted frame carries its checksum");
        if (result.readout == ReadoutUpdate::Weighing) {
            require(leadingNumber(result.weightText) == weight,
                    "the caption reads back as the weight value");
        }
        const DecodeResult again = decodeWeightFrame(chunk, layout, rx.frame(), weight);
        rx.check();
        require(again.frameSeen && again.readout == ReadoutUpdate::Unchanged,
                "a repeated frame is unchanged");
    }
}

}  // namespace scale::fuzz
