#pragma once

#include <optional>

#include "tools/indicator-sim/line.h"
#include "tools/indicator-sim/options.h"
#include "tools/indicator-sim/simulator.h"

namespace indicatorsim {

enum class RunEnd { Finished, Unplugged, Signalled };

// Drives the simulator on the line until the planned end or until `signalFd` (a signalfd for the
// ending signals) becomes readable. Time 0 is the moment of the call. Event lines go to stdout
// when `verbose`. Line failures are std::system_error.
RunEnd runLine(Line& line, Simulator& simulator, std::optional<PlannedEnd> end, int signalFd,
               bool verbose);

}  // namespace indicatorsim
