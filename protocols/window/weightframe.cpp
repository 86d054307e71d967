#include "protocols/window/weightframe.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "protocols/numbertext.h"

namespace scale {
namespace {

// The six digit bytes as a whole number, each contributing (byte - 48) times its place value.
// Nothing checks that they are digits: a space counts as -16. The thousands term is a 16-bit
// product in the indicators' reference arithmetic, so a byte there below 0x10 or above 0x50
// overflows it; that frame is refused rather than shown with a wrapped value.
std::optional<std::int32_t> digitValue(const RxFrameBytes& rx, std::size_t first) {
    static constexpr std::int32_t kPlace[6] = {100000, 10000, 1000, 100, 10, 1};
    std::int32_t value = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        const std::int32_t term = (static_cast<std::int32_t>(rx[first + i]) - 48) * kPlace[i];
        if (kPlace[i] == 1000 && (term < std::numeric_limits<std::int16_t>::min() ||
                                  term > std::numeric_limits<std::int16_t>::max())) {
            return std::nullopt;
        }
        value += term;
    }
    return value;
}

}  // namespace

bool weightChecksumMatches(const RxFrameBytes& rxFrame, const WeightFrameLayout& layout) {
    const std::uint8_t x = xorChecksum(std::span(rxFrame).subspan(1, layout.checksumLast));
    return hexDigitCode(x >> 4u) == rxFrame[layout.checksumHigh] &&
           hexDigitCode(x & 0x0Fu) == rxFrame[layout.checksumHigh + 1];
}

WeightFields readWeightFields(const RxFrameBytes& rxFrame, const WeightFrameLayout& layout,
                              std::string_view decimalSeparator) {
    WeightFields fields;
    fields.minusSign = rxFrame[layout.sign] == '-';
    const auto value = digitValue(rxFrame, layout.firstDigit);
    if (!value) {
        fields.error = FrameError::Overflow;
        return fields;
    }
    fields.decimals = static_cast<int>(rxFrame[layout.decimals]) - 48;
    fields.value = static_cast<double>(*value) / std::pow(10.0, fields.decimals);
    if (fields.decimals < 0 || fields.decimals > 4) {
        fields.error = FrameError::Decimals;
        return fields;
    }
    fields.text = fixedDecimalText(fields.value, fields.decimals, decimalSeparator) + "kg";
    return fields;
}

DecodeResult decodeWeightFrame(std::span<const std::uint8_t> chunk, const WeightFrameLayout& layout,
                               RxFrameBytes& rxFrame, double& weightValue,
                               std::string_view decimalSeparator) {
    DecodeResult result;
    result.capture = captureFrame(chunk, kStxEtxCapture, rxFrame);
    if (result.capture.failed || !result.capture.inFrame || !result.capture.complete) {
        return result;
    }

    // The checksum is judged on what RxFrame now holds at the fixed positions, whatever index the
    // end byte landed on: a short frame is checked together with bytes an earlier frame left.
    if (!weightChecksumMatches(rxFrame, layout)) {
        return result;
    }

    if (!result.capture.changed) {
        result.readout = ReadoutUpdate::Unchanged;
        result.frameSeen = true;
        return result;
    }

    WeightFields fields = readWeightFields(rxFrame, layout, decimalSeparator);
    if (fields.error == FrameError::Overflow) {
        return result;  // weightValue keeps its previous value
    }
    weightValue = fields.value;
    if (fields.error == FrameError::Decimals) {
        return result;  // weightValue is already updated; only the readout refuses it
    }

    result.readout = ReadoutUpdate::Weighing;
    result.frameSeen = true;
    result.weightText = std::move(fields.text);
    result.signStep = fields.minusSign;
    return result;
}

}  // namespace scale
