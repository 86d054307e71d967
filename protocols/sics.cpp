#include "protocols/fieldtext.h"
#include "protocols/formatdecoders.h"

namespace scale {
namespace {

// "      12.345 kg": the value right-aligned in its field, a space, the unit.
bool readValueAndUnit(std::string_view text, FrameReading& reading) {
    text = trimmed(text);
    const std::size_t space = text.rfind(' ');
    DecimalField field;
    if (space == std::string_view::npos || !readDecimalField(text.substr(0, space), field)) {
        return false;
    }
    reading.value = field.value;
    reading.decimals = field.decimals;
    reading.unit = text.substr(space + 1);
    return true;
}

}  // namespace

FrameReading decodeSicsLine(std::span<const std::uint8_t> frame) {
    FrameReading reading;
    const std::string_view line = frameText(bodyOf(frame, 0));
    reading.message = trimmed(line);
    if (line.size() >= 3 && line[0] == 'S' && line[1] == ' ') {
        switch (line[2]) {
            case 'S':
            case 'D':
                reading.motion = line[2] == 'S' ? Motion::Steady : Motion::Moving;
                if (line.size() > 3 && line[3] == ' ' && readValueAndUnit(line.substr(4), reading)) {
                    reading.message = {};
                    return reading;
                }
                break;
            case 'I':
                reading.error = FrameError::Busy;
                return reading;
            case '+':
                reading.error = FrameError::Overload;
                return reading;
            case '-':
                reading.error = FrameError::Underload;
                return reading;
            default:
                break;
        }
    } else if (line == "ES" || line == "ET" || line == "EL") {
        reading.error = FrameError::IndicatorError;
        return reading;
    } else if (line.starts_with("T S ") && readValueAndUnit(line.substr(4), reading)) {
        // The tare just taken.
        reading.mode = WeighMode::Tare;
        reading.hasTare = true;
        reading.tare = reading.value;
        reading.tareDecimals = reading.decimals;
        reading.message = {};
        return reading;
    } else if (line == "Z A" || line == "Z I" || line == "Z +" || line == "Z -" ||
               line == "T I" || line == "T +" || line == "T -" || line.starts_with("TAC ")) {
        reading.error = FrameError::Reply;
        return reading;
    }
    reading.error = FrameError::Malformed;
    reading.message = {};
    return reading;
}

}  // namespace scale
