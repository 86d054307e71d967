// ShenTong frames: capture and decoding of arbitrary chunks, and encoder against decoder.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/checks/fuzzcheck.h"
#include "fuzz/checks/guardedframe.h"
#include "fuzz/checks/readingfrom.h"
#include "protocols/formats/shentong/shentongframe.h"
#include "protocols/numbertext.h"
#include "protocols/window/shentong.h"

namespace {

using namespace scale;
using fuzz::require;

void checkRoundTrip(const IndicatorReading& reading) {
    if (!shenTongFits(reading)) {
        return;
    }
    fuzz::GuardedFrame rx;
    double weight = -1;
    const DecodeResult result =
        decodeShenTongFrame(encodeShenTongFrame(reading), rx.frame(), weight);
    rx.check();
    require(result.frameSeen && result.readout == ReadoutUpdate::Weighing,
            "an encoded reading is shown");
    require(result.weightText == shenTongText(reading),
            "the caption is the encoded reading's text");
    const double magnitude = fuzz::magnitudeOf(reading);
    // The sign travels in the text, so the value is signed.
    require(weight == (reading.negative ? -magnitude : magnitude),
            "the weight value is the reading's");
}

// 31 bytes of RxFrame's earlier contents, then chunks (a length byte and that many bytes).
void checkChunks(fuzz::FuzzInput& input) {
    fuzz::GuardedFrame rx(input.bytes(31));
    double weight = 0;
    while (!input.empty()) {
        const auto chunk = input.bytes(input.byte());
        const DecodeResult result = decodeShenTongFrame(chunk, rx.frame(), weight);
        rx.check();
        if (!result.frameSeen) {
            require(result.readout == ReadoutUpdate::Waiting, "only an accepted frame is shown");
            continue;
        }
        require(result.capture.complete && !result.capture.failed, "an accepted frame is complete");
        // The reader takes no exponent: ".00005" is shown as "5E-05kg".
        if (result.readout == ReadoutUpdate::Weighing &&
            result.weightText.find('E') == std::string::npos) {
            require(leadingNumber(result.weightText) == weight,
                    "the caption reads back as the weight value");
        }
        const DecodeResult again = decodeShenTongFrame(chunk, rx.frame(), weight);
        rx.check();
        require(again.frameSeen && again.readout == ReadoutUpdate::Unchanged,
                "a repeated frame is unchanged");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    checkRoundTrip(fuzz::readingFrom(input));
    checkChunks(input);
    return 0;
}
