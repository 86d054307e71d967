#include "protocols/shentong.h"

#include "protocols/numbertext.h"

namespace scale {

DecodeResult decodeShenTongFrame(std::span<const std::uint8_t> chunk, RxFrameBytes& rxFrame,
                                 double& weightValue, std::string_view decimalSeparator) {
    DecodeResult result;
    result.capture = captureFrame(chunk, kShenTongCapture, rxFrame);
    if (result.capture.failed || !result.capture.inFrame || !result.capture.complete) {
        return result;
    }
    result.frameSeen = true;
    if (!result.capture.changed) {
        result.readout = ReadoutUpdate::Unchanged;
        return result;
    }
    // The reversed text is offsets 6 to 1 followed by "=": the seventh byte after "=" takes part
    // in change detection only, and "=" stops the number at the latest.
    weightValue = leadingNumber(result.capture.reversed);
    result.readout = ReadoutUpdate::Weighing;
    result.weightText = generalNumberText(weightValue, decimalSeparator) + "kg";
    return result;
}

}  // namespace scale
