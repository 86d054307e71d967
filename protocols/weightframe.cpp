#include "protocols/weightframe.h"

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
    const std::uint8_t x = xorChecksum(std::span(rxFrame).subspan(1, layout.checksumLast));
    if (hexDigitCode(x >> 4u) != rxFrame[layout.checksumHigh] ||
        hexDigitCode(x & 0x0Fu) != rxFrame[layout.checksumHigh + 1]) {
        return result;
    }

    if (!result.capture.changed) {
        result.readout = ReadoutUpdate::Unchanged;
        result.frameSeen = true;
        return result;
    }

    const auto value = digitValue(rxFrame, layout.firstDigit);
    if (!value) {
        return result;  // weightValue keeps its previous value
    }
    const int decimals = static_cast<int>(rxFrame[layout.decimals]) - 48;
    weightValue = static_cast<double>(*value) / std::pow(10.0, decimals);
    if (decimals < 0 || decimals > 4) {
        return result;  // weightValue is already updated; only the readout refuses it
    }

    result.readout = ReadoutUpdate::Weighing;
    result.frameSeen = true;
    result.weightText = fixedDecimalText(weightValue, decimals, decimalSeparator) + "kg";
    result.signStep = rxFrame[layout.sign] == '-';
    return result;
}

}  // namespace scale
