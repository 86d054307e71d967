#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "tools/indicator-sim/cli/usageerror.h"
#include "tools/indicator-sim/faults/faults.h"
#include "tools/indicator-sim/formats/protocolframes.h"
#include "tools/indicator-sim/formats/spokenformat.h"
#include "tools/indicator-sim/formats/spokenuserformat.h"
#include "tools/indicator-sim/indicator/decimalvalue.h"
#include "tools/indicator-sim/indicator/pacing.h"
#include "tools/indicator-sim/indicator/weightplan.h"
#include "tools/indicator-sim/line/device/serialsettings.h"
#include "tools/indicator-sim/line/tcp/tcpplace.h"
#include "tools/indicator-sim/micros.h"

namespace indicatorsim {

// The commands the indicator refuses (--refuse).
struct Refusals {
    bool zero = false;
    bool tare = false;
    bool clearTare = false;
};

// Everything the command line decides, checked and ready to run.
struct SimOptions {
    // The line: a pseudo-terminal behind a symbolic link, or a real device.
    std::string linkPath;
    std::string devicePath;
    std::optional<TcpPlace> tcp;  // --tcp: the indicator's own TCP port instead
    // The device's; for a pseudo-terminal only settings.baud counts, unless lineModel.
    SerialSettings settings;
    // Pseudo-terminal: deliver what the other side's settings make of a line driven at
    // `settings`.
    bool lineModel = false;
    // Play this recording back instead of simulating an indicator, `speed` times as fast.
    std::string replayPath;
    double speed = 1;
    Protocol protocol = Protocol::Continuous;
    const SpokenFormat* format = nullptr;  // the table's format, with Protocol::Format
    // A format of --formats FILE, which `format` then points into.
    std::shared_ptr<const SpokenUserFormat> userFormat;
    FormatSettings formatSettings;
    std::optional<DecimalValue> capacity;  // kg; above it the formats report an overload
    Refusals refusals;
    bool stream = false;  // an asking format also sends its weight unasked
    WeightPlan weight;
    double rate = 10;                    // requested frames per second, continuous and ShenTong
    Micros replyDelay = fromMillis(20);  // from a request to its answer
    double dropRate = 0;
    FaultRates faults;
    Micros cutPause = fromMillis(30);
    Silence silence;
    std::optional<Micros> unplugAfter;
    std::optional<Micros> duration;
    std::optional<std::uint64_t> seed;
    bool verbose = false;
};

struct HelpRequested {};
struct VersionRequested {};

using ParseResult = std::variant<SimOptions, HelpRequested, VersionRequested, UsageError>;

// Reads the arguments after the program's name. Any mistake gives a UsageError whose message
// is one line; --help anywhere, then --version anywhere, win over mistakes elsewhere.
ParseResult parseOptions(std::span<const std::string_view> args);

// The pace of unasked frames: the requested rate held to what the line carries, at ten bits a
// byte for a pseudo-terminal and at the framing of --settings for a device or --line-model.
Pace paceFor(const SimOptions& options);

// Whether any choice draws on the fault seed, so that the seed is worth reporting.
bool usesRandomFaults(const SimOptions& options);

// When the run ends by itself, the earlier of --duration and --unplug-after.
struct PlannedEnd {
    Micros at = 0;
    bool unplug = false;
};
std::optional<PlannedEnd> plannedEnd(const SimOptions& options);

}  // namespace indicatorsim
