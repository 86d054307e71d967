#include "protocols/window/shentong.h"

#include "protocols/numbertext.h"

namespace scale {

ShenTongFields readShenTongFields(std::string_view reversedText,
                                  std::string_view decimalSeparator) {
    ShenTongFields fields;
    fields.value = leadingNumber(reversedText);
    fields.text = generalNumberText(fields.value, decimalSeparator) + "kg";
    return fields;
}

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
    ShenTongFields fields = readShenTongFields(result.capture.reversed, decimalSeparator);
    weightValue = fields.value;
    result.readout = ReadoutUpdate::Weighing;
    result.weightText = std::move(fields.text);
    return result;
}

}  // namespace scale
