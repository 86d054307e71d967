#include "protocols/stream/fieldtext.h"
#include "protocols/stream/formatdecoders.h"

namespace scale {
namespace {

std::string_view columnText(std::string_view frame, Column column) {
    if (column.length == 0 || column.at >= frame.size()) {
        return {};
    }
    return column.length == kToEnd ? frame.substr(column.at, frame.size() - 1 - column.at)
                                   : frame.substr(column.at, column.length);
}

// The meaning of a one-character column; false for a character the format does not know.
bool meaningOf(std::string_view text, std::span<const StatusCode> codes, StatusMeaning& meaning) {
    if (text.size() != 1) {
        return false;
    }
    for (const StatusCode& code : codes) {
        if (code.code == text[0]) {
            meaning = code.meaning;
            return true;
        }
    }
    return false;
}

}  // namespace

std::span<const std::uint8_t> bodyOf(std::span<const std::uint8_t> frame, std::size_t startBytes) {
    if (frame.size() <= startBytes) {
        return {};
    }
    return frame.subspan(startBytes, frame.size() - startBytes - 1);
}

FrameReading readColumns(std::span<const std::uint8_t> frame, const ColumnLayout& layout) {
    FrameReading reading;
    const std::string_view text = frameText(frame);
    if (!layout.reply.empty() && text == layout.reply) {
        reading.error = FrameError::Reply;
        reading.message = trimmed(frameText(bodyOf(frame, 1)));
        return reading;
    }
    if (layout.length != 0 && text.size() != layout.length) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    bool negative = false;
    if (layout.sign.length != 0) {
        const std::string_view sign = columnText(text, layout.sign);
        if (sign != " " && sign != "+" && sign != "-") {
            reading.error = FrameError::Malformed;
            return reading;
        }
        negative = sign == "-";
    }
    // Status, mode and motion columns, in that order; any one may end the reading.
    bool outOfRange = false;
    const std::pair<Column, std::span<const StatusCode>> columns[] = {
        {layout.status, layout.statusCodes},
        {layout.mode, layout.modeCodes},
        {layout.motion, layout.motionCodes}};
    for (const auto& [column, codes] : columns) {
        if (column.length == 0) {
            continue;
        }
        const std::string_view code = columnText(text, column);
        StatusMeaning meaning{};
        if (!meaningOf(code, codes, meaning)) {
            reading.error = FrameError::Malformed;
            return reading;
        }
        switch (meaning) {
            case StatusMeaning::Steady:
                reading.motion = Motion::Steady;
                break;
            case StatusMeaning::Moving:
                reading.motion = Motion::Moving;
                break;
            case StatusMeaning::OutOfRange:
                outOfRange = true;
                break;
            case StatusMeaning::Overload:
                reading.error = FrameError::Overload;
                return reading;
            case StatusMeaning::Underload:
                reading.error = FrameError::Underload;
                return reading;
            case StatusMeaning::IndicatorError:
                reading.error = FrameError::IndicatorError;
                reading.message = code;
                return reading;
            case StatusMeaning::Gross:
                reading.mode = WeighMode::Gross;
                break;
            case StatusMeaning::Net:
                reading.mode = WeighMode::Net;
                break;
            case StatusMeaning::Tare:
                reading.mode = WeighMode::Tare;
                break;
        }
    }
    const std::string_view value = columnText(text, layout.value);
    if (outOfRange) {
        reading.error = negative || value.find('-') != std::string_view::npos
                            ? FrameError::Underload
                            : FrameError::Overload;
        return reading;
    }
    DecimalField field;
    if (!readDecimalField(value, field)) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    reading.value = negative && field.value > 0 ? -field.value : field.value;
    reading.decimals = field.decimals;
    const std::string_view unit = columnText(text, layout.unit);
    reading.unit = unit;
    if (!layout.unitLetters.empty()) {
        reading.unit = {};
        for (const UnitLetter& letter : layout.unitLetters) {
            if (unit.size() == 1 && letter.code == unit[0]) {
                reading.unit = letter.unit;
            }
        }
        if (reading.unit.empty()) {
            reading.error = FrameError::Malformed;
        }
    }
    return reading;
}

}  // namespace scale
