#pragma once

#include "tools/scale-read/cli/readeroptions.h"
#include "tools/scale-read/clock.h"
#include "tools/scale-read/engine/stationengine.h"

namespace scaleread {

// Gives `engine` the outlets the options ask for, in the order each record reaches them. False,
// with a note given, when one cannot start (the run then ends with status 1).
bool addRunOutlets(const ReaderOptions& options, StationEngine& engine, const Clock& clock);

// The line that refuses an outlet the options ask for and this build leaves out (--mqtt, --http);
// empty when there is none.
QString missingOutlet(const ReaderOptions& options);

}  // namespace scaleread
