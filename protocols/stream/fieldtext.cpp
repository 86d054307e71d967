#include "protocols/stream/fieldtext.h"

#include <array>
#include <cstdint>

namespace scale {
namespace {

constexpr std::array<double, 16> kPowers = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool equalsFolded(std::string_view text, std::string_view lowerName) {
    if (text.size() != lowerName.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lower(text[i]) != lowerName[i]) {
            return false;
        }
    }
    return true;
}

struct UnitSpelling {
    std::string_view spelling;  // lower case
    std::string_view unit;
};

constexpr UnitSpelling kUnits[] = {
    {"kg", "kg"},   {"g", "g"},    {"t", "t"},     {"lb", "lb"},   {"lbs", "lb"},
    {"oz", "oz"},   {"ozt", "ozt"}, {"dwt", "dwt"}, {"pcs", "pcs"}, {"pc", "pcs"},
};

}  // namespace

bool readDecimalField(std::string_view text, DecimalField& field) {
    std::size_t i = 0;
    const auto skipSpaces = [&] {
        while (i < text.size() && text[i] == ' ') {
            ++i;
        }
    };
    skipSpaces();
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
        skipSpaces();
    }
    std::uint64_t digits = 0;
    int count = 0;
    int decimals = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++count > 15) {
                return false;
            }
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            decimals += point ? 1 : 0;
        } else if ((c == '.' || c == ',') && !point) {
            point = true;
        } else {
            break;
        }
    }
    skipSpaces();
    if (count == 0 || i != text.size()) {
        return false;
    }
    const double magnitude = static_cast<double>(digits) / kPowers[static_cast<std::size_t>(decimals)];
    field.value = negative && digits != 0 ? -magnitude : magnitude;
    field.decimals = decimals;
    return true;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view normalisedUnit(std::string_view sent) {
    const std::string_view unit = trimmed(sent);
    for (const UnitSpelling& known : kUnits) {
        if (equalsFolded(unit, known.spelling)) {
            return known.unit;
        }
    }
    return unit;
}

}  // namespace scale
