#include "protocols/frameencoder.h"

#include <algorithm>

#include "protocols/frames.h"
#include "protocols/numbertext.h"

namespace scale {
namespace {

void putDigits(std::uint8_t* out, const IndicatorReading& reading) {
    std::uint32_t digits = reading.digits % 1000000u;
    for (int i = 5; i >= 0; --i) {
        out[i] = static_cast<std::uint8_t>('0' + digits % 10u);
        digits /= 10u;
    }
}

// Fills in the two checksum characters that follow the covered bytes 1 to `checksumLast`.
template <std::size_t N>
void sealFrame(std::array<std::uint8_t, N>& frame, std::size_t checksumLast) {
    const std::uint8_t x = xorChecksum(std::span(frame).subspan(1, checksumLast));
    frame[checksumLast + 1] = hexDigitCode(x >> 4u);
    frame[checksumLast + 2] = hexDigitCode(x & 0x0Fu);
    frame[checksumLast + 3] = kEtx;
}

std::uint8_t decimalsByte(const IndicatorReading& reading) {
    return static_cast<std::uint8_t>('0' + std::clamp(reading.decimals, 0, 4));
}

// The reading's magnitude as text with its decimals, "12.345".
std::string magnitudeText(const IndicatorReading& reading) {
    const int decimals = std::clamp(reading.decimals, 0, 4);
    double scale = 1.0;
    for (int i = 0; i < decimals; ++i) {
        scale *= 10.0;
    }
    return fixedDecimalText(static_cast<double>(reading.digits % 1000000u) / scale, decimals);
}

}  // namespace

std::string readingText(const IndicatorReading& reading) {
    std::string text = reading.negative ? "-" : "";
    text += magnitudeText(reading);
    text += "kg";
    return text;
}

std::array<std::uint8_t, 12> encodeContinuousFrame(const IndicatorReading& reading) {
    std::array<std::uint8_t, 12> frame{};
    frame[0] = kStx;
    frame[1] = reading.negative ? '-' : '+';
    putDigits(&frame[2], reading);
    frame[8] = decimalsByte(reading);
    sealFrame(frame, 8);
    return frame;
}

std::array<std::uint8_t, 14> encodeCommandReply(const IndicatorReading& reading,
                                                std::uint8_t address1, std::uint8_t address2) {
    std::array<std::uint8_t, 14> frame{};
    frame[0] = kStx;
    frame[1] = address1;
    frame[2] = address2;
    frame[3] = reading.negative ? '-' : '+';
    putDigits(&frame[4], reading);
    frame[10] = decimalsByte(reading);
    sealFrame(frame, 10);
    return frame;
}

std::array<std::uint8_t, 8> encodeShenTongFrame(const IndicatorReading& reading) {
    const std::string magnitude = magnitudeText(reading);
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
    const double magnitude = leadingNumber(magnitudeText(reading));
    return generalNumberText(reading.negative ? -magnitude : magnitude) + "kg";
}

bool shenTongFits(const IndicatorReading& reading) {
    return reading.digits <= 999999u &&
           magnitudeText(reading).size() + (reading.negative ? 1u : 0u) <= 6u;
}

}  // namespace scale
