#pragma once

#include <string>
#include <string_view>

namespace scale {

// Reads the number at the start of a text the lenient way every number in this tool is read:
// spaces, tabs and line feeds are ignored wherever they stand; then an optional sign, digits, at
// most one full stop and further digits; reading stops at the first character that does not fit.
// A text without a leading number gives 0, which is not an error.
double leadingNumber(std::string_view text);

// A number in general decimal form: up to 15 significant digits, no trailing zeros, no point for
// a whole number, a minus sign when negative, an exponent ("1E-05") only where the magnitude needs
// one. `decimalSeparator` (UTF-8) replaces the full stop.
std::string generalNumberText(double value, std::string_view decimalSeparator = ".");

// A number with exactly `decimals` digits after the separator and at least one before it, the
// readout's "0", "0.0" ... "0.0000" patterns.
std::string fixedDecimalText(double value, int decimals, std::string_view decimalSeparator = ".");

}  // namespace scale
