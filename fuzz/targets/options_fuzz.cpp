// The simulator's option parser on arbitrary arguments (the input split at NUL bytes): it never
// throws, a refusal is one line, and whatever it accepts is ready to run.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fuzz/checks/fuzzcheck.h"
#include "tools/indicator-sim/cli/options.h"

namespace {

using namespace indicatorsim;
using scale::fuzz::require;

bool isShare(double rate) {
    return rate >= 0 && rate <= 1;
}

bool fits(const SimOptions& options, std::int64_t units, int decimals) {
    return units >= -999999 && units <= 999999 &&
           readingFits(options.protocol, readingOf(units, decimals), options.format);
}

void checkWeight(const SimOptions& options) {
    if (const auto* fixed = std::get_if<FixedWeight>(&options.weight)) {
        require(readingFits(options.protocol, fixed->reading, options.format),
                "a fixed weight fits the frame");
    } else if (const auto* ramp = std::get_if<RampWeight>(&options.weight)) {
        require(ramp->step > 0, "a ramp's step is above 0");
        require(
            fits(options, ramp->from, ramp->decimals) && fits(options, ramp->to, ramp->decimals),
            "a ramp's ends fit the frame");
    } else if (const auto* walk = std::get_if<WalkWeight>(&options.weight)) {
        require(walk->highest >= 0 && walk->lowest >= 0, "a walk's bounds are magnitudes");
        require(fits(options, walk->highest, walk->decimals) &&
                    fits(options, -walk->lowest, walk->decimals),
                "a walk's bounds fit the frame");
    }
}

void checkAccepted(const SimOptions& options) {
    require(options.linkPath.empty() != options.devicePath.empty(), "exactly one line is given");
    require(options.settings.baud > 0, "the baud is above 0");
    require(std::isfinite(options.rate) && options.rate > 0, "the rate is above 0");
    const FaultRates& f = options.faults;
    require(isShare(options.dropRate) && isShare(f.badChecksum) && isShare(f.lowercase) &&
                isShare(f.stray) && isShare(f.cut) && isShare(f.noise),
            "fault rates are shares of frames");
    require(options.replyDelay >= 0 && options.cutPause >= 0, "pauses are not negative");
    require((options.silence.every > 0) == (options.silence.length > 0),
            "a silence has both its times");
    checkWeight(options);

    const Pace pace = paceFor(options);
    require(pace.framesPerSecond > 0 && pace.framesPerSecond <= pace.lineLimit,
            "the pace is above 0 and within the line");
    require(frameOffset(pace.framesPerSecond, 1) > 0, "frames follow each other in time");
    plannedEnd(options);
    usesRandomFaults(options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> args;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        args.push_back(text.substr(start, end - start));
        start = end + 1;
    }

    ParseResult result;
    try {
        result = parseOptions(args);
    } catch (...) {
        require(false, "parseOptions never throws");
    }
    if (const auto* error = std::get_if<UsageError>(&result)) {
        const std::string_view message = error->what();
        require(!message.empty() && message.find_first_of("\r\n") == std::string_view::npos,
                "a refusal is one line");
    } else if (const auto* options = std::get_if<SimOptions>(&result)) {
        checkAccepted(*options);
    }
    return 0;
}
