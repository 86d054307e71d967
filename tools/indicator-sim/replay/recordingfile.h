#pragma once

#include <string>

#include "tools/indicator-sim/replay/replayschedule.h"

namespace indicatorsim {

// Reads and checks the recording at `path`, whole, before the line comes up. A file that cannot
// be read or a malformed line is a std::runtime_error of one line naming the file and the line.
ReplaySchedule loadRecording(const std::string& path);

}  // namespace indicatorsim
