#include "tools/indicator-sim/indicator/decimalvalue.h"

namespace indicatorsim {

std::optional<DecimalValue> parseDecimal(std::string_view text) {
    DecimalValue value;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        value.negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int digits = 0;
    bool point = false;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 15) {
                return std::nullopt;
            }
            value.units = value.units * 10u + static_cast<std::uint64_t>(c - '0');
            if (point) {
                ++value.decimals;
            }
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return value;
}

DecimalValue withDecimals(DecimalValue value, int decimals) {
    for (; value.decimals < decimals; ++value.decimals) {
        value.units *= 10u;
    }
    // One division, not one per digit: 12.3449 to two decimals is 12.34, not 12.345 then 12.35.
    std::uint64_t divisor = 1;
    for (; value.decimals > decimals; --value.decimals) {
        divisor *= 10u;
    }
    value.units = (value.units + divisor / 2u) / divisor;
    return value;
}

std::int64_t signedUnits(const DecimalValue& value) {
    const auto units = static_cast<std::int64_t>(value.units);
    return value.negative ? -units : units;
}

}  // namespace indicatorsim
