#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace scale {

enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };

// Line settings as a serial device takes them, "2400,N,8,1".
struct LineSettings {
    std::int32_t baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
    bool operator==(const LineSettings&) const = default;
};

// The part of a settings text that is wrong; Fields when there are not four of them.
enum class LineField { None, Fields, Baud, Parity, DataBits, StopBits };

struct LineSettingsReading {
    std::optional<LineSettings> settings;
    LineField refused = LineField::None;     // the first wrong field, when settings is empty
    std::string_view refusedText;            // that field as written (the whole text for Fields)
    std::array<std::string_view, 4> fields;  // baud, parity, data, stop as written
};

// Reads "baud,parity,data,stop", each field with or without blanks around it: a positive whole
// baud (any rate, custom ones included), parity N, E, O, M or S (either case), data bits 5 to 8
// and stop bits 1, 1.5 or 2. Anything else, including data bits 4, which serial hosts cannot do,
// is refused, naming the first wrong field. The views point into `text`.
LineSettingsReading readLineSettings(std::string_view text);

inline std::optional<LineSettings> parseLineSettings(std::string_view text) {
    return readLineSettings(text).settings;
}

}  // namespace scale
