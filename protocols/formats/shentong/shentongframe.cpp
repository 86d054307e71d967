#include "protocols/formats/shentong/shentongframe.h"

#include "protocols/numbertext.h"

namespace scale {

std::array<std::uint8_t, 8> encodeShenTongFrame(const IndicatorReading& reading) {
    const std::string magnitude = readingMagnitude(reading);
    const std::size_t width = reading.negative ? 5 : 6;
    // Least significant character first: the magnitude from its end, zeros in front of it up to
    // its width, the sign, and a "0" in seventh place, which the reader never reads.
    std::array<std::uint8_t, 8> frame{};
    frame.fill('0');
    frame[0] = '=';
    std::size_t out = 1;
    for (auto c = magnitude.rbegin(); c != magnitude.rend() && out <= width; ++c) {
        frame[out++] = static_cast<std::uint8_t>(*c);
    }
    if (reading.negative) {
        frame[6] = '-';
    }
    return frame;
}

std::string shenTongText(const IndicatorReading& reading) {
    const double magnitude = leadingNumber(readingMagnitude(reading));
    return generalNumberText(reading.negative ? -magnitude : magnitude) + "kg";
}

bool shenTongFits(const IndicatorReading& reading) {
    return reading.digits <= 999999u &&
           readingMagnitude(reading).size() + (reading.negative ? 1u : 0u) <= 6u;
}

}  // namespace scale
