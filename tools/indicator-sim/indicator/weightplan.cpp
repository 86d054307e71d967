#include "tools/indicator-sim/indicator/weightplan.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "tools/indicator-sim/cli/usageerror.h"
#include "tools/indicator-sim/formats/spokenformat.h"
#include "tools/indicator-sim/indicator/decimalvalue.h"

namespace indicatorsim {
namespace {

constexpr int kWalkDecimals = 3;
constexpr std::string_view kWalkMax = "100";
// More than the widest ramp (-999999 to 999999) needs: any larger step acts the same, and a
// typed step of 15 digits at 4 decimals would not fit a signed 64-bit number.
constexpr std::uint64_t kLargestStep = 2'000'000;

std::vector<std::string_view> splitColons(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto colon = text.find(':');
        parts.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(colon + 1);
    }
}

[[noreturn]] void refuse(const std::string& why) {
    throw UsageError("--weight: " + why);
}

DecimalValue number(std::string_view text) {
    const auto value = parseDecimal(text);
    if (!value) {
        refuse("'" + std::string(text) + "' is not a number");
    }
    return *value;
}

int checkedDecimals(const DecimalValue& value, std::string_view text) {
    if (value.decimals > 4) {
        refuse(std::string(text) + " has more than 4 decimals; give --decimals to round it");
    }
    return value.decimals;
}

// The frame a weight is checked against.
struct Frame {
    Protocol protocol;
    const SpokenFormat* format;
};

std::string frameName(const Frame& frame) {
    if (frame.format) {
        return "a " + std::string(frame.format->name) + " frame's weight field";
    }
    return frame.protocol == Protocol::ShenTong ? "a shentong frame's six characters"
                                                : "the frame's six digits";
}

void requireFits(const Frame& frame, const scale::IndicatorReading& reading,
                 std::string_view shown) {
    if (!readingFits(frame.protocol, reading, frame.format)) {
        refuse(std::string(shown) + " does not fit " + frameName(frame));
    }
}

FixedWeight planFixed(const std::vector<std::string_view>& parts, std::optional<int> decimals,
                      const Frame& frame) {
    if (parts.size() != 2) {
        refuse("expected fixed:VALUE, for example fixed:-12.345");
    }
    DecimalValue value = number(parts[1]);
    value = withDecimals(value, decimals ? *decimals : checkedDecimals(value, parts[1]));
    FixedWeight fixed;
    fixed.reading.negative = value.negative;
    fixed.reading.digits =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(value.units, 1000000u));
    fixed.reading.decimals = value.decimals;
    requireFits(frame, fixed.reading, parts[1]);
    return fixed;
}

RampWeight planRamp(const std::vector<std::string_view>& parts, std::optional<int> decimals,
                    const Frame& frame) {
    if (parts.size() != 4) {
        refuse("expected ramp:FROM:TO:STEP, for example ramp:0:50:0.5");
    }
    const DecimalValue from = number(parts[1]);
    const DecimalValue to = number(parts[2]);
    const DecimalValue step = number(parts[3]);
    const int places =
        decimals ? *decimals
                 : std::max({checkedDecimals(from, parts[1]), checkedDecimals(to, parts[2]),
                             checkedDecimals(step, parts[3])});
    RampWeight ramp;
    ramp.decimals = places;
    ramp.from = signedUnits(withDecimals(from, places));
    ramp.to = signedUnits(withDecimals(to, places));
    ramp.step = static_cast<std::int64_t>(std::min(withDecimals(step, places).units, kLargestStep));
    if (step.negative || step.units == 0) {
        refuse("the ramp's STEP must be above 0, got " + std::string(parts[3]));
    }
    if (ramp.step == 0) {
        refuse("the ramp's STEP " + std::string(parts[3]) + " is 0 at " + std::to_string(places) +
               " decimals");
    }
    // Every weight of the ramp lies between its ends, so the ends decide whether all of them fit.
    for (const auto& [units, shown] :
         {std::pair{ramp.from, parts[1]}, std::pair{ramp.to, parts[2]}}) {
        if (units > 999999 || units < -999999) {
            refuse(std::string(shown) + " does not fit " + frameName(frame));
        }
        requireFits(frame, readingOf(units, places), shown);
    }
    return ramp;
}

WalkWeight planWalk(const std::vector<std::string_view>& parts, std::optional<int> decimals,
                    const Frame& frame) {
    if (parts.size() != 2 && parts.size() != 3) {
        refuse("expected walk:SEED or walk:SEED:MAX, for example walk:7");
    }
    WalkWeight walk;
    const std::string_view seed = parts[1];
    const auto parsed = std::from_chars(seed.data(), seed.data() + seed.size(), walk.seed);
    if (seed.empty() || parsed.ec != std::errc{} || parsed.ptr != seed.data() + seed.size()) {
        refuse("the walk's SEED must be a whole number from 0, got '" + std::string(seed) + "'");
    }
    walk.decimals = decimals.value_or(kWalkDecimals);
    const std::string_view maxText = parts.size() == 3 ? parts[2] : kWalkMax;
    const DecimalValue max = withDecimals(number(maxText), walk.decimals);
    if (max.negative || max.units == 0) {
        refuse("the walk's MAX must be above 0, got " + std::string(maxText));
    }
    // A MAX beyond what the frame carries is cut down to it rather than refused: the walk simply
    // stays within the display.
    const auto units = static_cast<std::int64_t>(std::min<std::uint64_t>(max.units, 1000000u));
    walk.highest =
        std::min(units, largestFitting(frame.protocol, walk.decimals, false, frame.format));
    walk.lowest = std::max<std::int64_t>(
        0, std::min(units, largestFitting(frame.protocol, walk.decimals, true, frame.format)));
    return walk;
}

}  // namespace

scale::IndicatorReading readingOf(std::int64_t units, int decimals) {
    scale::IndicatorReading reading;
    reading.negative = units < 0;
    reading.digits = static_cast<std::uint32_t>(units < 0 ? -units : units);
    reading.decimals = decimals;
    return reading;
}

std::int64_t largestFitting(Protocol protocol, int decimals, bool negative,
                            const SpokenFormat* format) {
    // The widest value of each digit count is all nines; the first that fits is the answer.
    for (std::int64_t nines = 999999; nines > 0; nines /= 10) {
        if (readingFits(protocol, readingOf(negative ? -nines : nines, decimals), format)) {
            return nines;
        }
    }
    scale::IndicatorReading zero = readingOf(0, decimals);
    zero.negative = negative;
    return readingFits(protocol, zero, format) ? 0 : -1;
}

WeightPlan planWeight(std::string_view weightText, std::optional<int> decimals, Protocol protocol,
                      const SpokenFormat* format) {
    const std::vector<std::string_view> parts = splitColons(weightText);
    const Frame frame{protocol, format};
    if (parts[0] == "fixed") {
        return planFixed(parts, decimals, frame);
    }
    if (parts[0] == "ramp") {
        return planRamp(parts, decimals, frame);
    }
    if (parts[0] == "walk") {
        return planWalk(parts, decimals, frame);
    }
    refuse("expected fixed:VALUE, ramp:FROM:TO:STEP or walk:SEED[:MAX], got '" +
           std::string(weightText) + "'");
}

}  // namespace indicatorsim
