#pragma once

#include <optional>

#include "tools/indicator-sim/cli/options.h"
#include "tools/indicator-sim/line/line.h"
#include "tools/indicator-sim/line/linedriver.h"
#include "tools/indicator-sim/line/linemodel.h"

namespace indicatorsim {

enum class RunEnd { Finished, Unplugged, Signalled };

// Drives `driver` on the line until the planned end, until the driver has finished (once the
// other side has taken the last write, or after a second), or until `signalFd` (a signalfd for
// the ending signals) becomes readable. Time 0 is the moment of the call. Event lines go to
// stdout when `verbose`. With a `lineModel` (a pseudo-terminal only), each write goes out as the
// other side's settings, read just before it, receive it. Line failures are std::system_error.
RunEnd runLine(Line& line, LineDriver& driver, std::optional<PlannedEnd> end, int signalFd,
               bool verbose, const LineModel* lineModel);

}  // namespace indicatorsim
