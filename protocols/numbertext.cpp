#include "protocols/numbertext.h"

#include <charconv>
#include <limits>
#include <system_error>

namespace scale {
namespace {

std::string withSeparator(std::string text, std::string_view separator) {
    if (const auto point = text.find('.'); point != std::string::npos) {
        text.replace(point, 1, separator);
    }
    return text;
}

}  // namespace

double leadingNumber(std::string_view text) {
    // Collect the accepted characters first, then convert with from_chars, which ignores the
    // process locale (a German LC_NUMERIC must not turn "1.5" into 1).
    std::string number;
    bool digitsSeen = false;
    bool pointSeen = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n') {
            continue;
        }
        if ((c == '+' || c == '-') && number.empty()) {
            number.push_back(c);
        } else if (c >= '0' && c <= '9') {
            number.push_back(c);
            digitsSeen = true;
        } else if (c == '.' && !pointSeen) {
            number.push_back(c);
            pointSeen = true;
        } else {
            break;
        }
    }
    if (!digitsSeen) {
        return 0.0;
    }
    std::string_view digits = number;
    bool negative = false;
    if (digits.front() == '+' || digits.front() == '-') {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Only the magnitude can overflow (there is no exponent): keep it infinite so that a
        // caller's range check rejects it.
        value = std::numeric_limits<double>::infinity();
    } else if (result.ec != std::errc{}) {
        return 0.0;
    }
    if (value == 0.0) {
        return 0.0;  // "-0" reads as plain zero
    }
    return negative ? -value : value;
}

std::string generalNumberText(double value, std::string_view decimalSeparator) {
    if (value == 0.0) {
        return "0";
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    // to_chars writes "1e-05"; the general form used on screen is "1E-05".
    if (const auto e = text.find('e'); e != std::string::npos) {
        text[e] = 'E';
    }
    return withSeparator(std::move(text), decimalSeparator);
}

std::string fixedDecimalText(double value, int decimals, std::string_view decimalSeparator) {
    char buffer[512];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return withSeparator(std::string(buffer, result.ptr), decimalSeparator);
}

}  // namespace scale
