#include "protocols/fieldtext.h"
#include "protocols/formatdecoders.h"

namespace scale {

FrameReading decodePos8217Frame(std::span<const std::uint8_t> frame) {
    FrameReading reading;
    std::string_view body = frameText(bodyOf(frame, 1));
    if (body.size() == 2 && body[0] == '?') {
        // No weight: the status byte says why, the first reason that holds.
        const auto status = static_cast<unsigned>(static_cast<unsigned char>(body[1]));
        reading.error = (status & 0x02u) != 0   ? FrameError::Overload
                        : (status & 0x04u) != 0 ? FrameError::Underload
                        : (status & 0x01u) != 0 ? FrameError::Motion
                                                : FrameError::IndicatorError;
        reading.message = body;
        return reading;
    }
    if (!body.empty() && body.back() == 'N') {
        reading.mode = WeighMode::Net;
        body.remove_suffix(1);
    }
    // Some scales put the unit after the weight.
    const std::size_t unitAt = body.find_first_not_of("+- 0123456789.");
    DecimalField field;
    if (!readDecimalField(body.substr(0, unitAt), field) || body.find('.') == std::string_view::npos) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    reading.value = field.value;
    reading.decimals = field.decimals;
    if (unitAt != std::string_view::npos) {
        reading.unit = trimmed(body.substr(unitAt));
    }
    return reading;
}

}  // namespace scale
