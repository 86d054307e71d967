// The lenient number reader and the two number texts, on the reader's result for the input as
// text and on the input's first eight bytes taken as a double.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/checks/fuzzcheck.h"
#include "protocols/numbertext.h"

namespace {

using namespace scale;
using fuzz::require;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text) {
    for (const char c : text) {
        if (!isDigit(c)) {
            return false;
        }
    }
    return true;
}

// "-1.5E-05" -> "1.5": the digits and point before any exponent, without the sign.
std::string_view mantissaOf(std::string_view text) {
    if (!text.empty() && text.front() == '-') {
        text.remove_prefix(1);
    }
    return text.substr(0, text.find('E'));
}

void checkGeneralText(double value) {
    const std::string text = generalNumberText(value);
    const std::string_view mantissa = mantissaOf(text);
    const auto point = mantissa.find('.');
    if (point != std::string_view::npos) {
        require(mantissa.back() != '0' && mantissa.back() != '.',
                "a general number text has no trailing zeros");
    }
    std::size_t significant = 0;
    bool leading = true;
    for (const char c : mantissa) {
        leading = leading && (c == '0' || c == '.');
        significant += !leading && isDigit(c) ? 1 : 0;
    }
    require(significant <= 15, "a general number text has at most 15 significant digits");
    // The reader takes no exponent, so only texts without one can be read back.
    if (text.find('E') == std::string::npos) {
        const double reread = leadingNumber(text);
        require(std::fabs(reread - value) <= std::fabs(value) * 1e-14,
                "a general number text reads back as its value");
        require(generalNumberText(reread) == text, "a general number text reads back to itself");
    }
}

void checkFixedText(double value, int decimals, std::string_view separator) {
    const std::string text = fixedDecimalText(value, decimals, separator);
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '-') {
        digits.remove_prefix(1);
    }
    const auto at = digits.find(separator);
    const std::string_view whole = decimals == 0 ? digits : digits.substr(0, at);
    require(!whole.empty() && allDigits(whole), "a fixed text has digits before its separator");
    if (decimals == 0) {
        return;
    }
    require(at != std::string_view::npos, "a fixed text has its separator");
    const std::string_view fraction = digits.substr(at + separator.size());
    require(fraction.size() == static_cast<std::size_t>(decimals) && allDigits(fraction),
            "a fixed text has exactly its decimals after the separator");
}

void checkNumber(double value, unsigned choice) {
    if (!std::isfinite(value)) {
        return;  // the reader gives infinity only for an overflow, which callers refuse
    }
    checkGeneralText(value);
    static constexpr std::string_view kSeparators[] = {".", ",", "\xD9\xAB"};
    checkFixedText(value, static_cast<int>(choice % 5u), kSeparators[(choice / 5u) % 3u]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double read = leadingNumber(text);
    require(!std::isnan(read), "the reader never gives NaN");
    const unsigned choice = size > 0 ? data[size - 1] : 0u;
    checkNumber(read, choice);
    if (size >= sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data, sizeof raw);
        checkNumber(raw, choice);
    }
    return 0;
}
