#pragma once

#include <span>
#include <string_view>

namespace scale {

// A decimal number as an indicator prints it in a text frame.
struct DecimalField {
    double value = 0;  // signed
    int decimals = 0;  // digits after the point
};

// Reads a value field: spaces anywhere before or after the number (leading zeros sent as
// spaces), then an optional sign, spaces, digits with at most one point ("." or ","), spaces.
// At least one digit and at most 15; anything else is refused (false).
bool readDecimalField(std::string_view text, DecimalField& field);

// The text without spaces at either end.
std::string_view trimmed(std::string_view text);

// The unit as the indicator sends it, trimmed, and normalised to kg, g, t, lb, oz, ozt, dwt or
// pcs where it is one of those in any case ("KG", "Lb", "PC"); other units stay as sent.
std::string_view normalisedUnit(std::string_view sent);

// A frame's bytes as text.
inline std::string_view frameText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace scale
