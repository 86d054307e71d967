#include <array>

#include "protocols/fieldtext.h"
#include "protocols/formatdecoders.h"

namespace scale {
namespace {

constexpr std::size_t kCrAt = 16;

// SWC bits 0-2; 0 leaves SWB's kg or lb.
constexpr std::array<std::string_view, 8> kSwcUnits = {"",    "g",   "t",         "oz",
                                                       "ozt", "dwt", "long-ton", "custom"};

// Six digits, leading zeros perhaps sent as spaces, placed by SWA bits 0-2.
bool placedDigits(std::span<const std::uint8_t> digits, unsigned place, double& value,
                  int& decimals) {
    DecimalField field;
    const std::string_view text = frameText(digits);
    if (text.find_first_of(".,+-") != std::string_view::npos || !readDecimalField(text, field)) {
        return false;
    }
    static constexpr std::array<double, 8> kScale = {100, 10, 1, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5};
    value = field.value * kScale[place];
    decimals = place >= 3 ? static_cast<int>(place) - 2 : 0;
    return true;
}

}  // namespace

FrameReading decodeToledoFrame(std::span<const std::uint8_t> frame) {
    FrameReading reading;
    if ((frame.size() != kCrAt + 1 && frame.size() != kCrAt + 2) || frame[kCrAt] != '\r') {
        reading.error = FrameError::Malformed;
        return reading;
    }
    if (frame.size() == kCrAt + 2) {
        // The 7-bit two's complement of the 7-bit sum from STX to CR.
        unsigned sum = 0;
        for (std::size_t i = 0; i <= kCrAt; ++i) {
            sum += frame[i] & 0x7Fu;
        }
        if (((0x80u - (sum & 0x7Fu)) & 0x7Fu) != (frame[kCrAt + 1] & 0x7Fu)) {
            reading.error = FrameError::Checksum;
            return reading;
        }
    }
    const unsigned swa = frame[1];
    const unsigned swb = frame[2];
    const unsigned swc = frame[3];
    const unsigned place = swa & 0x07u;
    const bool negative = (swb & 0x02u) != 0;
    if ((swb & 0x04u) != 0) {
        reading.error = negative ? FrameError::Underload : FrameError::Overload;
        return reading;
    }
    if (!placedDigits(frame.subspan(4, 6), place, reading.value, reading.decimals) ||
        !placedDigits(frame.subspan(10, 6), place, reading.tare, reading.tareDecimals)) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    if (negative && reading.value != 0) {
        reading.value = -reading.value;
    }
    reading.hasTare = true;
    reading.mode = (swb & 0x01u) != 0 ? WeighMode::Net : WeighMode::Gross;
    reading.motion = (swb & 0x08u) != 0 ? Motion::Moving : Motion::Steady;
    const std::string_view override = kSwcUnits[swc & 0x07u];
    reading.unit = !override.empty() ? override : (swb & 0x10u) != 0 ? "kg" : "lb";
    return reading;
}

}  // namespace scale
