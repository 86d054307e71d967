#include "protocols/formats/indicatorreading.h"

#include <algorithm>

#include "protocols/numbertext.h"

namespace scale {

IndicatorReading readingOf(const IndicatorState& state) {
    return {state.shown < 0, static_cast<std::uint32_t>(magnitudeOf(state.shown) % 1000000u),
            state.decimals};
}

std::string readingMagnitude(const IndicatorReading& reading) {
    const int decimals = std::clamp(reading.decimals, 0, 4);
    double scale = 1.0;
    for (int i = 0; i < decimals; ++i) {
        scale *= 10.0;
    }
    return fixedDecimalText(static_cast<double>(reading.digits % 1000000u) / scale, decimals);
}

std::string readingText(const IndicatorReading& reading) {
    std::string text = reading.negative ? "-" : "";
    text += readingMagnitude(reading);
    text += "kg";
    return text;
}

}  // namespace scale
