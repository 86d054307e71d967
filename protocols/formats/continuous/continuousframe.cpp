#include "protocols/formats/continuous/continuousframe.h"

#include <algorithm>

#include "protocols/window/frames.h"

namespace scale {

void putContinuousFields(std::span<std::uint8_t> frame, const IndicatorReading& reading) {
    const std::size_t sign = frame.size() - 11;
    frame[0] = kStx;
    frame[sign] = reading.negative ? '-' : '+';
    std::uint32_t digits = reading.digits % 1000000u;
    for (std::size_t i = sign + 6; i > sign; --i) {
        frame[i] = static_cast<std::uint8_t>('0' + digits % 10u);
        digits /= 10u;
    }
    frame[sign + 7] = static_cast<std::uint8_t>('0' + std::clamp(reading.decimals, 0, 4));
    const std::uint8_t x = xorChecksum(frame.subspan(1, sign + 7));
    frame[sign + 8] = hexDigitCode(x >> 4u);
    frame[sign + 9] = hexDigitCode(x & 0x0Fu);
    frame[sign + 10] = kEtx;
}

bool fitsSixDigits(const IndicatorReading& reading) {
    return reading.digits <= 999999u;
}

std::array<std::uint8_t, 12> encodeContinuousFrame(const IndicatorReading& reading) {
    std::array<std::uint8_t, 12> frame{};
    putContinuousFields(frame, reading);
    return frame;
}

}  // namespace scale
